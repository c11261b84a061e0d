#pragma once
// The captured text as the current language's engine takes it: in its code page, or through
// the QZ conversion for Chinese kept in the QZ code.

#include <memory>
#include <string>

namespace reading {

struct ReadingSettings;

// Zero-terminated, or null when the text converts to nothing or the settings' language has
// no engine.
std::unique_ptr<char[]> EngineText(const std::u16string& text, const ReadingSettings& settings);

}  // namespace reading
