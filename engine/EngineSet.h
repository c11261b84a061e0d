#pragma once
// The four speech engines as the toolbar calls them, dispatched by language number
// (7 Japanese, 8 English, 9 Chinese, 10 Korean). A call for any other number, or for a
// language whose library did not load, does nothing (Load returns a failure status,
// LoadUserDict a failure result, GetInfo leaves the value untouched).

#include <cstdint>
#include <string>

#include "engine/EngineApi.h"
#include "engine/Languages.h"

namespace engine {

inline constexpr int kPlayReserved = 687;

// What the listener hears now of a language's latest text (VtPosition, engine/EngineApi.h).
struct HeardPosition {
    int sentenceStart = -1;  // bytes into the text as it was played
    int sentenceEnd = -1;
    int previousStart = -1;  // -1: no sentence was read before this one
    int wordStart = -1;      // bytes into `sentence`; -1 when the voice reports no words
    int wordEnd = -1;
    int heardMs = -1;      // since this sentence began to be heard
    std::string sentence;  // UTF-8
};

class EngineSet {
public:
    virtual ~EngineSet() = default;

    virtual short Load(int language, std::intptr_t window, int speaker, const char* engineDir) = 0;
    virtual void Unload(int language, int speaker) = 0;
    virtual void GetInfo(int language, int code, int* value) = 0;
    virtual short LoadUserDict(int language, const char* path) = 0;
    virtual void UnloadUserDict(int language) = 0;
    virtual void Play(int language, std::intptr_t window, const char* text, int speaker, int pitch,
                      int speed, int volume, int textForm) = 0;
    // The text as UTF-8, read run by run by each script's language (VT_PLAYTTS_UTF8_x);
    // prosody holds kLanguageCount entries, Japanese first.
    virtual void PlayUtf8(int language, std::intptr_t window, const char* utf8, int speaker,
                          const VtVoiceProsody* prosody) = 0;
    virtual void Stop(int language) = 0;
    virtual void Pause(int language) = 0;
    virtual void Restart(int language) = 0;

    // Following and steering the text being read (the contract of VT_GETPOSITION_x,
    // VT_PLAYFROM_x and VT_SETSPEED_x). Position is false while nothing is heard.
    virtual bool Position(int language, HeardPosition* position) = 0;
    virtual bool PlayFrom(int language, int offset) = 0;
    virtual void SetSpeed(int language, int speed) = 0;
    // Saving the speech of a text to a sound file (EngineApi.h, VT_SAVETTS_x and
    // VT_SAVESTATUS_x); Stop cancels it. For a language whose library cannot save, both
    // return VT_SAVE_UNAVAILABLE.
    virtual short SaveToFile(int language, const char* text, int pitch, int speed, int volume,
                             const char* path, int format) = 0;
    virtual short SaveStatus(int language, int* permille) = 0;
    // One reading option of a language (VT_SETOPTION_x): true when the engine took it. An
    // engine without options takes none.
    virtual bool SetOption(int language, const char* name, const char* value) {
        (void)language;
        (void)name;
        (void)value;
        return false;
    }
};

}  // namespace engine
