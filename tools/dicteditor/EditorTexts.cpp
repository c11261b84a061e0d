#include "tools/dicteditor/EditorTexts.h"

#include <cstring>

#include "platform/Utf8.h"
#include "tools/dicteditor/EnginePreview.h"

namespace dicteditor {

using synth::DictionaryFault;

std::string FaultText(DictionaryFault fault) {
    switch (fault) {
        case DictionaryFault::None:
            return {};
        case DictionaryFault::TooLarge:
            return "ファイルが 16 MiB を超えています";
        case DictionaryFault::NotUtf8:
            return "UTF-8 として読めない文字があります";
        case DictionaryFault::UnbalancedQuote:
            return "引用符 (\") が閉じていません";
        case DictionaryFault::TextAfterQuote:
            return "閉じた引用符 (\") の後に文字があります";
        case DictionaryFault::QuoteInUnquotedField:
            return "引用符で囲まれていない項目の中に引用符 (\") があります";
        case DictionaryFault::NotTwoFields:
            return "「表記,読み」の 2 項目になっていません";
        case DictionaryFault::EmptySurface:
            return "表記が空です";
    }
    return {};
}

std::string RowStatusText(const DictionaryDocument& doc, std::size_t row) {
    const DictionaryFault fault = doc.RowFault(row);
    if (fault != DictionaryFault::None) return "読み込めません: " + FaultText(fault);
    if (doc.RowShadowed(row)) return "使われません: 後の行に同じ表記があります";
    return {};
}

std::string NoArgumentText(const std::string& program) {
    return "編集する辞書ファイルが指定されていません。\n使い方: " + program + " 辞書ファイル";
}

std::string UnknownProgramText(const std::string& program) {
    return "プログラム名「" + program + "」からどの言語の辞書エディタかを判別できません。";
}

std::string LoadFailureText(const std::string& path, const DictionaryDocument::LoadResult& result) {
    using Status = DictionaryDocument::LoadStatus;
    switch (result.status) {
        case Status::Loaded:
            return {};
        case Status::Missing:
            return "辞書ファイル「" + path + "」が見つかりません。";
        case Status::TooLarge:
            return "辞書ファイル「" + path + "」は大きすぎるため開けません。";
        case Status::Unreadable:
            break;
    }
    return "辞書ファイル「" + path + "」を開けません。\n(" + std::strerror(result.errnum) + ")";
}

std::string SaveFailureText(const std::string& path, const DictionaryDocument::SaveResult& result) {
    if (result.status == DictionaryDocument::SaveStatus::ReadOnly)
        return "辞書ファイル「" + path + "」は読み取り専用のため保存できません。";
    return "辞書ファイル「" + path + "」を保存できませんでした。\n(" +
           std::strerror(result.errnum) + ")";
}

std::string RefusedSaveQuestion(const DictionaryDocument::Verdict& verdict) {
    std::string where;
    if (verdict.error.line > 0) where = std::to_string(verdict.error.line) + " 行目: ";
    return "このまま保存すると、音声エンジンはこの辞書を読み込めません。\n" + where +
           FaultText(verdict.error.fault) + "\n\nそれでも保存しますか？";
}

std::string ReadingLine(const engine::LanguageInfo& language, std::string_view exported) {
    std::string line;
    std::size_t at = 0;
    while (at < exported.size()) {
        std::size_t end = exported.find('\n', at);
        if (end == std::string_view::npos) end = exported.size();
        const std::string_view segment = exported.substr(at, end - at);
        at = end + 1;
        const std::size_t tab = segment.find('\t');
        if (tab == std::string_view::npos || tab + 1 == segment.size()) continue;
        const std::string_view code = segment.substr(0, tab);
        if (!line.empty()) line += ' ';
        if (code != language.code)
            for (const engine::LanguageInfo& other : engine::Languages())
                if (code == other.code) line += std::string("［") + other.nativeName + "］";
        line += segment.substr(tab + 1);
    }
    return line;
}

std::string DescribeReading(EnginePreview& preview, std::string_view utf8) {
    std::u32string text = utf8::ToUtf32(utf8);
    const bool cut = text.size() > kReadingLimit;
    if (cut) text.resize(kReadingLimit);
    std::string exported, why;
    if (!preview.Reading(utf8::FromUtf32(text), &exported, &why))
        return "音声が使えないため、読みを確認できません。(" + why + ")";
    std::string line = ReadingLine(preview.Language(), exported);
    if (line.empty()) return "(読み上げる文字がありません)";
    if (cut) line += " …(先頭の " + std::to_string(kReadingLimit) + " 文字まで)";
    if (const std::string standIn = preview.StandInVoice(); !standIn.empty())
        line += "\n(本来の声が使えないため、代わりの声 " + standIn + " に渡す読みです)";
    return line;
}

}  // namespace dicteditor
