#include "synth/pipeline/Voicing.h"

#include "engine/Languages.h"
#include "synth/text/FrontEnd.h"

namespace synth {
namespace {

// A segment said as the sentence has it is marked while it is heard; one the front end
// rewrote is not.
void placeSegments(const std::string& shown, std::vector<SpeechSegment>& segments) {
    std::size_t cursor = 0;
    for (SpeechSegment& segment : segments) {
        const std::size_t at = shown.find(segment.text, cursor);
        if (at == std::string::npos) continue;
        cursor = at + segment.text.size();
        segment.start = static_cast<int>(at);
        segment.end = static_cast<int>(cursor);
    }
}

}  // namespace

bool isStranger(int readerLanguage, int runLanguage) {
    return engine::IsEngineLanguage(runLanguage) && runLanguage != readerLanguage &&
           runLanguage != engine::kEnglish;
}

Voicing voiceSentence(const RunReader& reader, int runLanguage, const VtVoiceProsody& prosody,
                      bool followsSpeed, LinkReading links, const std::string& shown,
                      const std::string& said) {
    Voicing out;
    out.language = reader.language;
    out.voices = reader.voices;
    out.voicesEpoch = reader.voicesEpoch;
    out.reading = reader.config.reading;
    out.links = links;
    out.prosody = {prosody.speed, prosody.pitch};
    out.volume = prosody.volume;
    out.followsSpeed = followsSpeed;
    out.fallbackOnly = isStranger(reader.language, runLanguage);
    const std::string& source = said.empty() ? shown : said;
    std::string sentence = reader.dictionary ? reader.dictionary->apply(source) : source;
    if (out.fallbackOnly)
        out.segments = {{false, std::move(sentence)}};
    else if (reader.voices && reader.voices->readsWrittenText())
        out.segments = splitJapaneseClauses(sentence, links);
    else
        out.segments = readForVoice(reader.config.reading,
                                    reader.voices ? reader.voices->reader() : nullptr,
                                    std::move(sentence), links);
    placeSegments(shown, out.segments);
    return out;
}

}  // namespace synth
