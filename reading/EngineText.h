#pragma once
// The captured text as the current language's engine takes it: in its code page, or through
// the QZ conversion for Chinese kept in the QZ code.

#include <memory>
#include <string>

namespace engine {
struct LanguageInfo;
}

namespace reading {

struct ReadingSettings;

// The code page the language's engine reads; 0 stands for the QZ conversion, -1 for a
// language without an engine.
int EngineCodePage(const engine::LanguageInfo* lang, int chiCodepage);

// Zero-terminated, or null when the text converts to nothing or the settings' language has
// no engine.
std::unique_ptr<char[]> EngineText(const std::u16string& text, const ReadingSettings& settings);

}  // namespace reading
