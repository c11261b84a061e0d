// Loading and unloading engines and their dictionaries, and what the worker can tell about
// them (which voice speaks, what it is handed).

#include <iconv.h>

#include "engine/Diagnostics.h"
#include "synth/core/SpeechCore.h"
#include "synth/pipeline/ReadingPreview.h"

namespace synth {

short SpeechCore::load(Language lang, const char* engineDir) {
    unload(lang);  // when the load fails the engine stays unloaded
    if (!engineDir) return kNoEngineDirectory;
    std::string why;
    auto config = readVoiceConfig(engineDir, &why);
    if (!config) {
        diag::Say(diag::Level::Error, "%s", why.c_str());
        return kNoEngineDirectory;
    }
    // The caller only learns a status; SELVARINE_VERBOSE names the configuration's fault.
    auto refused = [&](short status, const std::string& reason) {
        diag::Say(diag::Level::Detail, "the engine in %s cannot start: %s", engineDir,
                  reason.c_str());
        return status;
    };
    const iconv_t cd = iconv_open("UTF-8", config->encoding.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return refused(kUnknownEncoding, "unknown text encoding \"" + config->encoding + "\"");
    iconv_close(cd);

    const int rate = start();
    if (rate <= 0) return refused(kVoiceFailed, "the synthesiser cannot start");
    EngineState& e = engine(lang);
    OpenedVoices opened;
    std::string speaks;
    int sinkRate = 0;
    runOnWorker([&] {
        opened = m_voices->open(*config, engineDir, rate);
        if (!opened.voices) return false;
        bool configured = false;
        speaks = opened.voices->describe(&configured, config->backend != Backend::Espeak);
        sinkRate = opened.voices->sampleRate();
        e.voices = std::move(opened.voices);
        e.addedVoiceTaken.clear();  // the new voices have none yet
        ++m_nVoicesEpoch;
        return true;
    });
    if (opened.readingFailed)
        return refused(kReadingFailed, "the Japanese reading (MeCab and its dictionary) cannot start");
    if (sinkRate <= 0)
        return refused(kVoiceFailed,
                       "unknown voice \"" + config->voice +
                           (config->latinVoice.empty() ? "\"" : "\" or \"" + config->latinVoice + "\""));
    // One line says which voice speaks, and why not the natural one when it is not.
    diag::Say(diag::Level::Detail, "the engine in %s speaks with %s%s%s", engineDir,
              speaks.c_str(), opened.naturalWhy.empty() ? "" : ": ", opened.naturalWhy.c_str());
    std::shared_ptr<AudioSink> sink =
        m_sinks(sinkRate, "Selvarine " + (config->name.empty() ? config->voice : config->name));
    bool added;
    {
        std::lock_guard lock(e.mutex);
        e.sinkRate = sinkRate;
        e.language = static_cast<int>(lang);
        e.config = std::move(*config);
        e.sink = std::move(sink);
        e.loaded = true;
        added = !e.addedVoice.empty();
    }
    if (added)  // its model loads while nothing is read yet
        queueOnWorker([this, &e] {
            takeAddedVoice(e);
            return true;
        });
    return kLoaded;
}

void SpeechCore::unload(Language lang) {
    EngineState& e = engine(lang);
    std::shared_ptr<AudioSink> sink;
    std::shared_ptr<Job> old, reading;
    {
        std::lock_guard lock(e.mutex);
        if (!e.loaded) return;
        old = e.endJobLocked();
        reading = std::move(e.reading);
        sink = std::move(e.sink);
        e.dictionary.reset();
        e.loaded = false;
    }
    waitUntilNotBusy(lang);
    sink.reset();
    runOnWorker([&] {
        e.voices.reset();
        ++m_nVoicesEpoch;
        return true;
    });
}

short SpeechCore::loadUserDictionary(Language lang, const char* path) {
    if (!path) return 0;
    std::string why;
    auto dict = UserDictionary::load(path, &why);
    if (!dict) {
        diag::Say(diag::Level::Error, "user dictionary refused: %s", why.c_str());
        return 0;
    }
    auto shared = std::make_shared<const UserDictionary>(std::move(*dict));
    EngineState& e = engine(lang);
    std::lock_guard lock(e.mutex);
    e.dictionary = std::move(shared);
    return 1;
}

void SpeechCore::unloadUserDictionary(Language lang) {
    EngineState& e = engine(lang);
    std::shared_ptr<const UserDictionary> old;
    std::lock_guard lock(e.mutex);
    old = std::move(e.dictionary);
}

bool SpeechCore::readingOf(Language lang, const std::string& utf8, std::string& out) {
    EngineState& e = engine(lang);
    int chosen = 0;
    LinkReading links;
    std::shared_ptr<const UserDictionary> dictionary;
    {
        std::lock_guard lock(e.mutex);
        if (!e.loaded) return false;
        chosen = e.language;
        links = e.links;
        dictionary = e.dictionary;
    }
    auto text = std::make_shared<const std::string>(dictionary ? dictionary->apply(utf8) : utf8);
    return runOnWorker([&] {
        return describeReading(
            std::move(text), chosen, links, [&](int run) { return readerFor(e, true, run); }, out);
    });
}

bool SpeechCore::voiceOf(Language lang, std::string& description, bool& configured) {
    EngineState& e = engine(lang);
    return runOnWorker([&] {
        Backend backend;
        {
            std::lock_guard lock(e.mutex);
            if (!e.loaded) return false;
            backend = e.config.backend;
        }
        takeAddedVoice(e);
        if (!e.voices) return false;
        description = e.voices->describe(&configured, backend != Backend::Espeak);
        return true;
    });
}

}  // namespace synth
