#pragma once
// The editor's Japanese texts, built from what the document and the engine report.

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/Languages.h"
#include "synth/text/DictionaryFormat.h"
#include "tools/dicteditor/DictionaryDocument.h"

namespace dicteditor {

inline constexpr const char* kTitleSuffix = " - ユーザー辞書エディタ";

// Why the engine refuses a row or a file, as one clause.
std::string FaultText(synth::DictionaryFault fault);
// The table's status cell and the form's note for a row; empty when all is well.
std::string RowStatusText(const DictionaryDocument& doc, std::size_t row);

std::string NoArgumentText(const std::string& program);
std::string UnknownProgramText(const std::string& program);
// Empty when the file was loaded.
std::string LoadFailureText(const std::string& path, const DictionaryDocument::LoadResult& result);
// For a save that did not happen (ReadOnly, Failed).
std::string SaveFailureText(const std::string& path, const DictionaryDocument::SaveResult& result);
// The question asked before saving a file the engine would refuse.
std::string RefusedSaveQuestion(const DictionaryDocument::Verdict& verdict);

// Characters of a text whose reading is looked up; the rest is left out (each Japanese
// clause is one run of the voice's program).
inline constexpr std::size_t kReadingLimit = 200;

class EnginePreview;

// How the engine's voices read utf8, for the 読み確認 line: the reading export's segments on
// one line, those of another language's voice marked with that language (「［英語］iPhone」).
// Says so when the voice is unavailable or espeak-ng stands in for it, when nothing would be
// said, and when the text was cut at kReadingLimit. Blocks while the voice analyses the text.
std::string DescribeReading(EnginePreview& preview, std::string_view utf8);
// The export's lines as that one line.
std::string ReadingLine(const engine::LanguageInfo& language, std::string_view exported);

inline constexpr const char* kUnsavedQuestion = "変更が保存されていません。保存しますか？";

}  // namespace dicteditor
