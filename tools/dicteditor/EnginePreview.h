#pragma once
// Speaks a row's replacement through the language's own engine library, as the toolbar
// would read it: the engine loaded from its voice directory, the text in its code page, at
// the engine's default volume, speed and pitch. No user dictionary is loaded, so what is
// heard is the replacement itself. The same engine reports how its voices read a text.
//
// Play and Stop may be called from one thread while Reading runs on another.

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "engine/EngineLibrary.h"
#include "engine/Languages.h"

namespace dicteditor {

class EnginePreview {
  public:
    // programDir ends with '/'. addedVoice is the `Voice` value the toolbar reads the
    // language with (empty: the built-in voice), so a row sounds as a reading would.
    EnginePreview(const engine::LanguageInfo& language, std::string programDir,
                  std::string addedVoice = {});
    ~EnginePreview();
    EnginePreview(const EnginePreview&) = delete;
    EnginePreview& operator=(const EnginePreview&) = delete;

    const engine::LanguageInfo& Language() const { return m_lang; }

    // Stops what the engine says and speaks utf8. Opens and loads the engine on first use;
    // false with the reason in *error when it cannot.
    bool Play(std::string_view utf8, std::string* error);
    void Stop();

    // What the engine's voices are handed for utf8, as the core's reading export gives it
    // (one segment a line: language code, tab, text). The text goes through the engine's
    // code page first, so characters it cannot carry come out as the voice gets them.
    // Blocks while the voice analyses the text; false with the reason in *error.
    bool Reading(std::string_view utf8, std::string* reading, std::string* error);

    // The voice that speaks in place of the one the engine's voice.conf names (espeak-ng
    // when the natural voice is missing or failed); empty when the named one speaks or the
    // engine cannot tell.
    std::string StandInVoice();

  private:
    bool Open(std::string* error);  // with m_mutex held
    std::string InCodePage(std::string_view utf8) const;

    const engine::LanguageInfo& m_lang;
    std::string m_strProgramDir;
    std::string m_strAddedVoice;
    std::mutex m_mutex;  // guards opening and loading
    std::unique_ptr<engine::EngineLibrary> m_lib;
    bool m_bLoaded = false;
    int m_nVolume = 100, m_nSpeed = 100, m_nPitch = 100;
    int (*m_readingFn)(int, const char*, char*, int) = nullptr;
    int (*m_voiceFn)(int, char*, int) = nullptr;
};

}  // namespace dicteditor
