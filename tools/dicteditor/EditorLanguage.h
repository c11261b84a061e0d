#pragma once
// Which language an editor copy serves and where its program directory lies. One program is
// installed under each language's editor name in <program dir>/<voiceDir>/bin.

#include <string>
#include <string_view>

#include "engine/Languages.h"

namespace dicteditor {

// The language whose editor name is the file name of argv0; null for any other name.
const engine::LanguageInfo* LanguageForProgram(std::string_view argv0);

// The program directory (ending with '/') for an editor whose own folder is editorDir:
// editorDir with the language's voiceDir and "/bin" taken off its end.
std::string ProgramDirForEditor(const engine::LanguageInfo& language, std::string editorDir);

}  // namespace dicteditor
