#include "synth/backend/VoiceConfig.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <string_view>
#include <utility>

#include "engine/Diagnostics.h"

namespace synth {
namespace {

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

bool fail(std::string* error, std::string why) {
    if (error) *error = std::move(why);
    return false;
}

}  // namespace

std::optional<VoiceConfig> readVoiceConfig(const std::string& engineDir, std::string* error) {
    struct stat st {};
    if (engineDir.empty() || ::stat(engineDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        fail(error, "no engine directory " + engineDir);
        return std::nullopt;
    }
    const std::string path = engineDir + "/" + kVoiceConfigFile;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        fail(error, "no voice configuration " + path);
        return std::nullopt;
    }
    std::ifstream in(path);
    if (!in) {
        fail(error, "cannot read " + path);
        return std::nullopt;
    }
    VoiceConfig config;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        const std::string text = trim(line);
        if (text.empty() || text[0] == '#') continue;
        const auto eq = text.find('=');
        if (eq == std::string::npos) {
            fail(error, path + ":" + std::to_string(lineNo) + ": expected key = value");
            return std::nullopt;
        }
        const std::string key = trim(text.substr(0, eq));
        const std::string value = trim(text.substr(eq + 1));
        if (key == "voice")
            config.voice = value;
        else if (key == "encoding")
            config.encoding = value;
        else if (key == "latin-voice")
            config.latinVoice = value;
        else if (key == "name")
            config.name = value;
        else if (key == "hts-voice")
            config.htsVoice = value;
        else if (key == "hts-voice-sha256")
            config.htsVoiceSha256 = value;
        else if (key == "openjtalk-program")
            config.openJTalkProgram = value;
        else if (key == "openjtalk-dictionary")
            config.openJTalkDictionary = value;
        else if (key == "flite-voice")
            config.fliteVoice = value;
        else if (key == "backend" || key == "latin-backend") {
            static const std::pair<const char*, Backend> kBackends[] = {
                {"espeak", Backend::Espeak},
                {"openjtalk", Backend::OpenJTalk},
                {"flite", Backend::Flite}};
            const auto* found =
                std::find_if(std::begin(kBackends), std::end(kBackends),
                             [&](const auto& b) { return sameName(value, b.first); });
            // A name mistyped by hand must not cost the language its voice: espeak-ng
            // speaks every language, so it takes over, and the details say why.
            Backend backend = Backend::Espeak;
            if (found == std::end(kBackends) ||
                (key == "latin-backend" && found->second == Backend::OpenJTalk))
                diag::Say(diag::Level::Detail, "%s:%d: unknown %s \"%s\"; espeak-ng speaks instead",
                          path.c_str(), lineNo, key.c_str(), value.c_str());
            else
                backend = found->second;
            (key == "backend" ? config.backend : config.latinBackend) = backend;
        } else if (key == "reading") {
            static const std::pair<const char*, TextReading> kReadings[] = {
                {"none", TextReading::None},
                {"mecab", TextReading::Japanese},
                {"mandarin", TextReading::Mandarin},
                {"korean", TextReading::Korean},
                {"english", TextReading::English}};
            const auto* found = std::find_if(std::begin(kReadings), std::end(kReadings),
                                             [&](const auto& r) { return value == r.first; });
            if (found == std::end(kReadings)) {
                fail(error, path + ": unknown reading " + value);
                return std::nullopt;
            }
            config.reading = found->second;
        }
    }
    if (in.bad()) {
        fail(error, "cannot read " + path);
        return std::nullopt;
    }
    if (config.voice.empty() || config.encoding.empty()) {
        fail(error, path + ": voice and encoding are required");
        return std::nullopt;
    }
    return config;
}

}  // namespace synth
