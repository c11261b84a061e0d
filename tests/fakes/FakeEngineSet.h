#pragma once
// Records every engine call in order, with the text of each play call copied out (the caller
// releases its buffer when Play returns).

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "engine/EngineApi.h"
#include "engine/EngineSet.h"

class FakeEngineSet : public engine::EngineSet {
  public:
    struct Call {
        std::string op;  // "Load", "Unload", "Stop", "Play", "Pause", "Restart", ...
        int language = 0;
        // Play only
        std::intptr_t window = 0;
        std::string text;
        int speaker = 0, pitch = 0, speed = 0, volume = 0, textForm = 0;
        std::vector<VtVoiceProsody> prosody;  // PlayUtf8 only: every language's, Japanese first
        // SaveToFile only (text, pitch, speed and volume as for Play)
        std::string path;
        int format = 0;
    };

    short Load(int language, std::intptr_t window, int, const char*) override {
        Record("Load", language).window = window;
        return loadResult;
    }
    void Unload(int language, int) override { Record("Unload", language); }
    void GetInfo(int language, int, int*) override { Record("GetInfo", language); }
    short LoadUserDict(int language, const char* path) override {
        Record("LoadUserDict", language).text = path;
        return userDictResult;
    }
    void UnloadUserDict(int language) override { Record("UnloadUserDict", language); }
    void Play(int language, std::intptr_t window, const char* text, int speaker, int pitch,
              int speed, int volume, int textForm) override {
        calls.push_back(
            {"Play", language, window, text, speaker, pitch, speed, volume, textForm, {}, {}, 0});
    }
    void PlayUtf8(int language, std::intptr_t window, const char* utf8, int speaker,
                  const VtVoiceProsody* prosody) override {
        Call& c = Record("PlayUtf8", language);
        c.window = window;
        c.text = utf8;
        c.speaker = speaker;
        c.prosody.assign(prosody, prosody + engine::kLanguageCount);
    }
    void Stop(int language) override { Record("Stop", language); }
    void Pause(int language) override { Record("Pause", language); }
    void Restart(int language) override { Record("Restart", language); }
    bool Position(int language, engine::HeardPosition* position) override {
        if (!heard) return false;
        (void)language;
        *position = *heard;
        return true;
    }
    bool PlayFrom(int language, int offset) override {
        Record("PlayFrom", language).speed = offset;  // the offset, in `speed`
        return playFromResult;
    }
    void SetSpeed(int language, int speed) override { Record("SetSpeed", language).speed = speed; }
    short SaveToFile(int language, const char* text, int pitch, int speed, int volume,
                     const char* path, int format) override {
        Call& c = Record("SaveToFile", language);
        c.text = text;
        c.pitch = pitch, c.speed = speed, c.volume = volume;
        c.path = path;
        c.format = format;
        if (saveResults.empty()) return VT_SAVE_RUNNING;
        const short result = saveResults.front();
        saveResults.pop_front();
        return result;
    }
    // Not recorded (it is polled): answers saveStatuses in turn, the last one for good.
    short SaveStatus(int, int* permille) override {
        if (permille) *permille = savePermille;
        if (saveStatuses.empty()) return VT_SAVE_NONE;
        const short status = saveStatuses.front();
        if (saveStatuses.size() > 1) saveStatuses.erase(saveStatuses.begin());
        return status;
    }

    Call& Record(const char* op, int language) {
        Call& c = calls.emplace_back();
        c.op = op;
        c.language = language;
        return c;
    }

    // "Stop 7, Play 7" style summary of the calls, for order checks.
    std::string Summary() const {
        std::string s;
        for (const Call& c : calls)
            s += (s.empty() ? "" : ", ") + c.op + " " + std::to_string(c.language);
        return s;
    }

    std::vector<Call> calls;
    short loadResult = 0;
    short userDictResult = 1;
    std::optional<engine::HeardPosition> heard;  // what Position reports; none: nothing heard
    bool playFromResult = true;
    std::deque<short> saveResults;  // of the SaveToFile calls in turn; then VT_SAVE_RUNNING
    std::vector<short> saveStatuses;
    int savePermille = 0;
};
