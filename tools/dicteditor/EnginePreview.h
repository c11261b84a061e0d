#pragma once
// Speaks a row's replacement through the language's own engine library, as the toolbar
// would read it: the engine loaded from its voice directory, the text in its code page, at
// the engine's default volume, speed and pitch. No user dictionary is loaded, so what is
// heard is the replacement itself.

#include <memory>
#include <string>
#include <string_view>

#include "engine/EngineLibrary.h"
#include "engine/Languages.h"

namespace dicteditor {

class EnginePreview {
  public:
    // programDir ends with '/'.
    EnginePreview(const engine::LanguageInfo& language, std::string programDir);
    ~EnginePreview();
    EnginePreview(const EnginePreview&) = delete;
    EnginePreview& operator=(const EnginePreview&) = delete;

    // Stops what the engine says and speaks utf8. Opens and loads the engine on first use;
    // false with the reason in *error when it cannot.
    bool Play(std::string_view utf8, std::string* error);
    void Stop();

  private:
    bool Open(std::string* error);

    const engine::LanguageInfo& m_lang;
    std::string m_strProgramDir;
    std::unique_ptr<engine::EngineLibrary> m_lib;
    bool m_bLoaded = false;
    int m_nVolume = 100, m_nSpeed = 100, m_nPitch = 100;
};

}  // namespace dicteditor
