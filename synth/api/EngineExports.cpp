// The C entry points of one engine library; compiled once per language with
// SELVARINE_ENGINE_SUFFIX (JPN, ENG, CHI, KOR) and SELVARINE_ENGINE_LANGUAGE defined.
//
// Meaning of the arguments the core does not need:
// - the window handles, the speaker numbers and the play call's message argument: the
//   engines never post messages to the caller, and each library has one voice;
// - the load call's 0, -1, 0, the play call's 687 and trailing 1: reserved, ignored;
// - the text form code: the text's encoding is fixed per engine by its voice.conf, so the
//   code (reading or the settings dialog's test) does not change how the text is spoken;
// - the UTF-8 play call's flags: none are defined yet;
// - the dictionary index: each engine has one user dictionary slot.

#include <algorithm>
#include <cstring>

#include "engine/EngineApi.h"
#include "synth/api/Engines.h"
#include "synth/api/SaveToFile.h"

#define SELVARINE_CAT2(a, b) a##b
#define SELVARINE_CAT(a, b) SELVARINE_CAT2(a, b)
#define SELVARINE_EXPORT(name) SELVARINE_CAT(name, SELVARINE_ENGINE_SUFFIX)

// Declared first so that a definition that strays from the contract fails to compile.
extern "C" {
SELVARINE_DECLARE_ENGINE_API(JPN)
SELVARINE_DECLARE_ENGINE_API(ENG)
SELVARINE_DECLARE_ENGINE_API(CHI)
SELVARINE_DECLARE_ENGINE_API(KOR)
SELVARINE_DECLARE_ENGINE_SAVE_API(JPN)
SELVARINE_DECLARE_ENGINE_SAVE_API(ENG)
SELVARINE_DECLARE_ENGINE_SAVE_API(CHI)
SELVARINE_DECLARE_ENGINE_SAVE_API(KOR)
}

namespace {
constexpr synth::Language kLanguage = synth::Language::SELVARINE_ENGINE_LANGUAGE;

// Copies UTF-8 text into out[0..size), zero-terminated, cut before a character that does
// not fit.
void copyUtf8(const std::string& text, char* out, int size) {
    if (!out || size <= 0) return;
    std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
    if (n < text.size())
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}
}  // namespace

extern "C" {

short SELVARINE_EXPORT(VT_LOADTTS_EXT_)(intptr_t, int, const char* engineDir, int, int, int) {
    return synth::loadEngine(kLanguage, engineDir);
}

void SELVARINE_EXPORT(VT_UNLOADTTS_EXT_)(int) {
    synth::unloadEngine(kLanguage);
}

void SELVARINE_EXPORT(VT_GetTTSInfo_)(int code, int, int* value, int valueSize) {
    if (value && valueSize >= static_cast<int>(sizeof(int))) *value = synth::engineInfo(code);
}

short SELVARINE_EXPORT(VT_LOAD_UserDict_)(int, const char* path) {
    return synth::loadUserDictionary(kLanguage, path);
}

void SELVARINE_EXPORT(VT_UNLOAD_UserDict_)(int) {
    synth::unloadUserDictionary(kLanguage);
}

void SELVARINE_EXPORT(VT_PLAYTTS_)(intptr_t, int, const char* text, int, int pitch, int speed,
                                   int volume, int, int, int) {
    synth::play(kLanguage, text, pitch, speed, volume);
}

void SELVARINE_EXPORT(VT_PLAYTTS_UTF8_)(intptr_t, const char* utf8, int,
                                        const VtVoiceProsody* prosody, int count, int) {
    synth::playMixed(kLanguage, utf8, prosody, count);
}

void SELVARINE_EXPORT(VT_STOPTTS_)(void) {
    synth::stop(kLanguage);
}
void SELVARINE_EXPORT(VT_PAUSETTS_)(void) {
    synth::pause(kLanguage);
}
void SELVARINE_EXPORT(VT_RESTARTTTS_)(void) {
    synth::resume(kLanguage);
}

int SELVARINE_EXPORT(VT_GETPOSITION_)(VtPosition* position, char* sentence, int sentenceSize) {
    synth::Heard heard;
    int rate = 0;
    const bool speaking = synth::heardNow(kLanguage, &heard, &rate) && rate > 0;
    if (position) {
        *position = VtPosition{-1, -1, -1, -1, -1, -1};
        if (speaking)
            *position = VtPosition{static_cast<int32_t>(heard.sentenceStart),
                                   static_cast<int32_t>(heard.sentenceEnd),
                                   static_cast<int32_t>(heard.previousStart),
                                   heard.wordStart,
                                   heard.wordEnd,
                                   static_cast<int32_t>(heard.heardSamples * 1000 / rate)};
    }
    copyUtf8(speaking ? heard.sentence : std::string(), sentence, sentenceSize);
    return speaking ? 1 : 0;
}

int SELVARINE_EXPORT(VT_PLAYFROM_)(int offset) {
    return synth::playFrom(kLanguage, offset) ? 1 : 0;
}

void SELVARINE_EXPORT(VT_SETSPEED_)(int speed) {
    synth::setSpeed(kLanguage, speed);
}

short SELVARINE_EXPORT(VT_SAVETTS_)(const char* text, int pitch, int speed, int volume,
                                    const char* path, int format) {
    return synth::saveToFile(kLanguage, text, pitch, speed, volume, path, format);
}

short SELVARINE_EXPORT(VT_SAVESTATUS_)(int* permille) {
    return synth::saveStatus(kLanguage, permille);
}

short SELVARINE_EXPORT(VT_SETOPTION_)(const char* name, const char* value) {
    return synth::setOption(kLanguage, name, value) ? 1 : 0;
}

}  // extern "C"
