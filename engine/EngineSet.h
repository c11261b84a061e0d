#pragma once
// The four speech engines as the toolbar calls them, dispatched by language number
// (7 Japanese, 8 English, 9 Chinese, 10 Korean). A call for any other number, or for a
// language whose library did not load, does nothing (Load returns a failure status,
// LoadUserDict a failure result, GetInfo leaves the value untouched).

#include <cstdint>

namespace engine {

inline constexpr int kJapanese = 7;
inline constexpr int kEnglish = 8;
inline constexpr int kChinese = 9;
inline constexpr int kKorean = 10;

inline bool IsEngineLanguage(int language) { return language >= kJapanese && language <= kKorean; }

// Per-language constants handed to the engines.
int SpeakerNumber(int language);    // 0, 0, 2, 10
int ReadingTextForm(int language);  // 2, 0, 1, 0
inline constexpr int kPlayReserved = 687;

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
    virtual void Stop(int language) = 0;
    virtual void Pause(int language) = 0;
    virtual void Restart(int language) = 0;
};

}  // namespace engine
