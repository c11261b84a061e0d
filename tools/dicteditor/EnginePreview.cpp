#include "tools/dicteditor/EnginePreview.h"

#include <iconv.h>

#include <vector>

#include "platform/Utf8.h"
#include "reading/CodePage.h"

namespace dicteditor {

EnginePreview::EnginePreview(const engine::LanguageInfo& language, std::string programDir,
                             std::string addedVoice)
    : m_lang(language),
      m_strProgramDir(std::move(programDir)),
      m_strAddedVoice(std::move(addedVoice)) {}

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
        m_readingFn = reinterpret_cast<int (*)(int, const char*, char*, int)>(
            m_lib->Symbol("selvarine_synth_reading"));
        m_voiceFn =
            reinterpret_cast<int (*)(int, char*, int)>(m_lib->Symbol("selvarine_synth_voice"));
    }
    const engine::EngineFunctions& f = m_lib->Functions();
    const std::string engineDir = m_strProgramDir + m_lang.voiceDir;
    if (f.load(0, m_lang.speaker, engineDir.c_str(), 0, -1, 0) != 0) {
        *error = "cannot load the engine from " + engineDir;
        return false;
    }
    if (f.setOption) f.setOption("voice", m_strAddedVoice.c_str());
    f.getInfo(VT_INFO_VOLUME_DEFAULT, 0, &m_nVolume, sizeof m_nVolume);
    f.getInfo(VT_INFO_SPEED_DEFAULT, 0, &m_nSpeed, sizeof m_nSpeed);
    f.getInfo(VT_INFO_PITCH_DEFAULT, 0, &m_nPitch, sizeof m_nPitch);
    m_bLoaded = true;
    return true;
}

std::string EnginePreview::InCodePage(std::string_view utf8) const {
    const std::u16string wide = utf8::ToUtf16(utf8);
    std::string text(reading::CodePageLength(m_lang.codePage, wide) + 1, '\0');
    text.resize(reading::WideToCodePage(m_lang.codePage, wide, text.data(), text.size()));
    return text;
}

bool EnginePreview::Play(std::string_view utf8, std::string* error) {
    std::lock_guard lock(m_mutex);
    if (!Open(error)) return false;
    const std::string text = InCodePage(utf8);
    const engine::EngineFunctions& f = m_lib->Functions();
    f.stop();
    f.play(0, 0, text.c_str(), m_lang.speaker, m_nPitch, m_nSpeed, m_nVolume, 687,
           m_lang.readingTextForm, 1);
    return true;
}

void EnginePreview::Stop() {
    std::lock_guard lock(m_mutex);
    if (m_bLoaded) m_lib->Functions().stop();
}

bool EnginePreview::Reading(std::string_view utf8, std::string* reading, std::string* error) {
    decltype(m_readingFn) readingFn;
    {
        std::lock_guard lock(m_mutex);
        if (!Open(error)) return false;
        readingFn = m_readingFn;
    }
    if (!readingFn) {
        *error = std::string(m_lang.library) + ".so reports no readings";
        return false;
    }
    // Back to UTF-8 from the code page the engine gets, as the engine itself decodes it.
    const std::string encoded = InCodePage(utf8);
    const std::string codePage = "CP" + std::to_string(m_lang.codePage);
    iconv_t cd = iconv_open("UTF-8", codePage.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        *error = "no converter from " + codePage;
        return false;
    }
    std::string decoded(encoded.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(encoded.data());
    std::size_t inLeft = encoded.size();
    char* out = decoded.data();
    std::size_t outLeft = decoded.size();
    const bool converted = iconv(cd, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    if (!converted) {
        *error = "the text does not convert back from " + codePage;
        return false;
    }
    decoded.resize(decoded.size() - outLeft);

    // Katakana with accent marks is a few times the bytes of the written text.
    std::vector<char> buffer(decoded.size() * 8 + 4096);
    const int n =
        readingFn(m_lang.number, decoded.c_str(), buffer.data(), static_cast<int>(buffer.size()));
    if (n < 0) {
        *error = "the voice could not analyse the text";
        return false;
    }
    reading->assign(buffer.data(), static_cast<std::size_t>(n));
    return true;
}

std::string EnginePreview::StandInVoice() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_bLoaded || !m_voiceFn) return {};
    }
    char name[512];
    return m_voiceFn(m_lang.number, name, sizeof name) == 0 ? name : std::string();
}

}  // namespace dicteditor
