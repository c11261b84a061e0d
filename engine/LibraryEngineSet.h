#pragma once
// EngineSet over the four engine libraries beside the program (vt_jpn.so, vt_eng.so,
// vt_chi.so, vt_kor.so). A library that is missing or lacks an entry point leaves its
// language unavailable; calls for it do nothing.

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/EngineLibrary.h"
#include "engine/EngineSet.h"

namespace engine {

class LibraryEngineSet final : public EngineSet {
public:
    // programDir ends with '/'. Why a library did not open is kept in Problem().
    explicit LibraryEngineSet(const std::string& programDir);

    bool Available(int language) const { return Lib(language) != nullptr; }
    const std::string& Problem(int language) const;

    short Load(int language, std::intptr_t window, int speaker, const char* engineDir) override;
    void Unload(int language, int speaker) override;
    void GetInfo(int language, int code, int* value) override;
    short LoadUserDict(int language, const char* path) override;
    void UnloadUserDict(int language) override;
    void Play(int language, std::intptr_t window, const char* text, int speaker, int pitch,
              int speed, int volume, int textForm) override;
    void PlayUtf8(int language, std::intptr_t window, const char* utf8, int speaker,
                  const VtVoiceProsody* prosody) override;
    void Stop(int language) override;
    void Pause(int language) override;
    void Restart(int language) override;
    bool Position(int language, HeardPosition* position) override;
    bool PlayFrom(int language, int offset) override;
    void SetSpeed(int language, int speed) override;
    short SaveToFile(int language, const char* text, int pitch, int speed, int volume,
                     const char* path, int format) override;
    short SaveStatus(int language, int* permille) override;
    bool SetOption(int language, const char* name, const char* value) override;

    // The options every engine is told before each play and save (name and value per
    // language), asked for afresh each time so that a change in the settings file counts
    // from the next reading on.
    using Options = std::vector<std::pair<std::string, std::string>>;
    void TellOptionsFrom(std::function<Options(int language)> options) {
        m_options = std::move(options);
    }

private:
    void TellOptions(int language);
    void TellOptions();  // every language's
    const EngineFunctions* Lib(int language) const;
    std::array<std::unique_ptr<EngineLibrary>, kLanguageCount> m_libs;
    std::array<std::string, kLanguageCount> m_problems;
    std::function<Options(int language)> m_options;
};

}  // namespace engine
