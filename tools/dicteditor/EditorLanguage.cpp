#include "tools/dicteditor/EditorLanguage.h"

#include <algorithm>

namespace dicteditor {

const engine::LanguageInfo* LanguageForProgram(std::string_view argv0) {
    const std::size_t slash = argv0.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? argv0 : argv0.substr(slash + 1);
    for (const engine::LanguageInfo& lang : engine::Languages())
        if (name == lang.editor) return &lang;
    return nullptr;
}

std::string ProgramDirForEditor(const engine::LanguageInfo& language, std::string editorDir) {
    while (editorDir.size() > 1 && editorDir.back() == '/') editorDir.pop_back();
    const std::string_view voiceDir = language.voiceDir;
    const auto levels = 2 + std::count(voiceDir.begin(), voiceDir.end(), '/');
    for (int i = 0; i < levels; ++i) {
        const std::size_t slash = editorDir.rfind('/');
        if (slash == std::string::npos) return "../";
        editorDir.resize(slash);
    }
    return editorDir + '/';
}

}  // namespace dicteditor
