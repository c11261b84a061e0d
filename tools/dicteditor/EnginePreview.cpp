#include "tools/dicteditor/EnginePreview.h"

#include <vector>

#include "platform/Utf8.h"
#include "reading/CodePage.h"

namespace dicteditor {

EnginePreview::EnginePreview(const engine::LanguageInfo& language, std::string programDir)
    : m_lang(language), m_strProgramDir(std::move(programDir)) {}

EnginePreview::~EnginePreview() {
    if (!m_bLoaded) return;
    m_lib->Functions().stop();
    m_lib->Functions().unload(m_lang.speaker);
}

bool EnginePreview::Open(std::string* error) {
    if (m_bLoaded) return true;
    if (!m_lib) {
        const std::string path = m_strProgramDir + m_lang.library + ".so";
        m_lib = engine::EngineLibrary::Open(path, m_lang.suffix, error);
        if (!m_lib) return false;
    }
    const engine::EngineFunctions& f = m_lib->Functions();
    const std::string engineDir = m_strProgramDir + m_lang.voiceDir;
    if (f.load(0, m_lang.speaker, engineDir.c_str(), 0, -1, 0) != 0) {
        *error = "cannot load the engine from " + engineDir;
        return false;
    }
    f.getInfo(VT_INFO_VOLUME_DEFAULT, 0, &m_nVolume, sizeof m_nVolume);
    f.getInfo(VT_INFO_SPEED_DEFAULT, 0, &m_nSpeed, sizeof m_nSpeed);
    f.getInfo(VT_INFO_PITCH_DEFAULT, 0, &m_nPitch, sizeof m_nPitch);
    m_bLoaded = true;
    return true;
}

bool EnginePreview::Play(std::string_view utf8, std::string* error) {
    if (!Open(error)) return false;
    const std::u16string wide = utf8::ToUtf16(utf8);
    std::vector<char> text(reading::CodePageLength(m_lang.codePage, wide) + 1);
    reading::WideToCodePage(m_lang.codePage, wide, text.data(), text.size());
    const engine::EngineFunctions& f = m_lib->Functions();
    f.stop();
    f.play(0, 0, text.data(), m_lang.speaker, m_nPitch, m_nSpeed, m_nVolume, 687,
           m_lang.readingTextForm, 1);
    return true;
}

void EnginePreview::Stop() {
    if (m_bLoaded) m_lib->Functions().stop();
}

}  // namespace dicteditor
