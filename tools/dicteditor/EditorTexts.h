#pragma once
// The editor's Japanese texts, built from what the document and the engine report.

#include <string>

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

inline constexpr const char* kUnsavedQuestion = "変更が保存されていません。保存しますか？";

}  // namespace dicteditor
