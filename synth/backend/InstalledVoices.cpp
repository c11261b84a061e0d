#include "synth/backend/InstalledVoices.h"

#include <sys/stat.h>
#include <unistd.h>

#include "synth/backend/EspeakVoice.h"
#include "synth/backend/FliteVoice.h"
#include "synth/backend/OpenJTalkVoice.h"
#include "synth/backend/Sha256.h"
#include "synth/backend/sherpa/NeuralVoice.h"

namespace synth {
namespace {

// The natural voice a configuration names, or nothing with the reason in *why.
std::unique_ptr<VoiceBackend> openNaturalVoice(Backend backend, const VoiceConfig& config,
                                               const std::string& engineDir, std::string* why) {
    if (backend == Backend::Flite) {
        auto voice = FliteVoice::open(config.fliteVoice);
        if (!voice) *why = "flite has no voice \"" + config.fliteVoice + "\"";
        return voice;
    }
    if (backend != Backend::OpenJTalk) return nullptr;
    struct stat st {};
    if (::access(config.openJTalkProgram.c_str(), X_OK) != 0) {
        *why = "no Open JTalk program " + config.openJTalkProgram;
        return nullptr;
    }
    if (::stat((config.openJTalkDictionary + "/sys.dic").c_str(), &st) != 0) {
        *why = "no Open JTalk dictionary in " + config.openJTalkDictionary;
        return nullptr;
    }
    if (config.htsVoice.empty()) {
        *why = "voice.conf names no hts-voice";
        return nullptr;
    }
    const std::string file =
        config.htsVoice.front() == '/' ? config.htsVoice : engineDir + "/" + config.htsVoice;
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        *why = "no voice file " + file;
        return nullptr;
    }
    if (!config.htsVoiceSha256.empty()) {
        std::string unread;
        const auto digest = sha256OfFile(file, &unread);
        if (!digest) {
            *why = "the voice file " + file + " is refused: " + unread;
            return nullptr;
        }
        if (*digest != config.htsVoiceSha256) {
            *why = "the voice file " + file + " is damaged (its checksum does not match)";
            return nullptr;
        }
    }
    return std::make_unique<OpenJTalkVoice>(
        OpenJTalkSetup{config.openJTalkProgram, config.openJTalkDictionary, file});
}

}  // namespace

int InstalledVoices::start() {
    return startEspeak();
}

void InstalledVoices::stop() {
    stopEspeak();
}

OpenedVoices InstalledVoices::open(const VoiceConfig& config, const std::string& engineDir,
                                   int rate) {
    OpenedVoices out;
    Voices voices;
    // The espeak-ng voices are checked first and the main one is left selected.
    auto fallback = std::make_unique<EspeakVoice>(config.voice, rate);
    if (!config.latinVoice.empty()) {
        auto latin = std::make_unique<EspeakVoice>(config.latinVoice, rate);
        if (!latin->select()) return out;
        voices.fallbackLatin = std::move(latin);
    }
    if (!fallback->select()) return out;
    voices.fallback = std::move(fallback);
    voices.natural = openNaturalVoice(config.backend, config, engineDir, &out.naturalWhy);
    std::string latinWhy;
    voices.naturalLatin = openNaturalVoice(config.latinBackend, config, engineDir, &latinWhy);
    if (out.naturalWhy.empty()) out.naturalWhy = latinWhy;
    if (config.reading == TextReading::Japanese) {
        voices.reader = std::make_unique<JapaneseReader>();
        if (!voices.reader->ok()) {
            out.readingFailed = true;
            return out;
        }
    }
    out.voices = std::make_unique<VoiceSet>(std::move(voices));
    return out;
}

std::unique_ptr<VoiceBackend> InstalledVoices::openAdded(const std::string& voiceValue,
                                                         const std::string& language,
                                                         std::string* why) {
    return openAddedVoice(voiceValue, language, why);
}

}  // namespace synth
