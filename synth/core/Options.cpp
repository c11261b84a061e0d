// Reading options the toolbar sets before each play and save, and the added voice the
// "voice" option names, opened on the worker where every voice lives.

#include "engine/Diagnostics.h"
#include "synth/core/SpeechCore.h"

namespace synth {

bool SpeechCore::setOption(Language lang, std::string_view name, std::string_view value) {
    EngineState& e = engine(lang);
    if (name == "voice") {
        bool open;
        {
            std::lock_guard lock(e.mutex);
            open = e.loaded && e.addedVoice != value;
            e.addedVoice = std::string(value);
        }
        if (open)
            queueOnWorker([this, &e] {
                takeAddedVoice(e);
                return true;
            });
        return true;
    }
    if (name == "sentence-pause") {
        SentencePause pause;
        if (!parseSentencePause(value, &pause)) return false;
        std::lock_guard lock(e.mutex);
        e.pause = pause;
        return true;
    }
    if (name == "links") {
        LinkReading links;
        if (!parseLinkReading(value, &links)) return false;
        std::lock_guard lock(e.mutex);
        e.links = links;
        return true;
    }
    return false;
}

// Before a sentence of e's language is voiced: the chosen added voice takes the natural
// voice's place, or gives it back. A voice that cannot be opened is not tried again until
// the choice changes or the engine loads again.
void SpeechCore::takeAddedVoice(EngineState& e) {
    std::string wanted;
    int language;
    {
        std::lock_guard lock(e.mutex);
        if (!e.loaded) return;
        wanted = e.addedVoice;
        language = e.language;
    }
    if (!e.voices || wanted == e.addedVoiceTaken) return;
    e.addedVoiceTaken = wanted;
    const engine::LanguageInfo* info = engine::FindLanguage(language);
    const std::string languageName = info ? info->name : "";
    std::unique_ptr<VoiceBackend> added;
    if (!wanted.empty()) {
        std::string why;
        added = m_voices->openAdded(wanted, languageName, &why);
        if (added)
            diag::Say(diag::Level::Detail, "%s speaks %s", added->describe().c_str(),
                      languageName.c_str());
        else
            diag::Say(diag::Level::Detail, "the added voice \"%s\" cannot speak %s (%s); the built-in voice does",
                      wanted.c_str(), languageName.c_str(), why.c_str());
    }
    e.voices->setAdded(std::move(added));
    ++m_nVoicesEpoch;  // sentences voiced ahead for the old voice are voiced again
}

}  // namespace synth
