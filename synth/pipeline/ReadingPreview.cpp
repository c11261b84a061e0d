#include "synth/pipeline/ReadingPreview.h"

#include "engine/Languages.h"
#include "synth/pipeline/SentenceSource.h"

namespace synth {

bool describeReading(std::shared_ptr<const std::string> utf8, int chosen, LinkReading links,
                     const ReaderFor& readerFor, std::string& out) {
    const Cancelled never = [] { return false; };
    const VtVoiceProsody prosody{100, 100, 100};
    MixedText mixed(chosen, nullptr, 0);
    SentenceSource source(std::move(utf8), mixed, 0);
    Sentence sentence;
    while (source.next(sentence)) {
        const RunReader reader = readerFor(sentence.language);
        const Voicing said =
            voiceSentence(reader, sentence.language, prosody, false, links, sentence.text,
                          sentence.said);
        for (const SpeechSegment& segment : said.segments) {
            std::string text = segment.text;
            VoiceBackend* natural =
                said.fallbackOnly || !said.voices ? nullptr : said.voices->natural(segment.latin);
            if (natural) {
                auto handed = natural->handedText(text, never);
                if (!handed) return false;
                text = std::move(*handed);
            }
            const auto first = text.find_first_not_of(' ');
            if (first == std::string::npos) continue;
            out += engine::FindLanguage(segment.latin ? engine::kEnglish : said.language)->code;
            out += '\t';
            out.append(text, first);
            out += '\n';
        }
    }
    return true;
}

}  // namespace synth
