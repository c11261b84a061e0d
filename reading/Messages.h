#pragma once
// What the reading subsystem tells the user (UTF-8), always as a toolbar warning.

namespace reading {

inline constexpr const char* kMsgCannotOpen = "クリップボードがオープンできません。";
inline constexpr const char* kMsgCannotEmpty = "クリップボードをクリアできません。";
inline constexpr const char* kMsgNoTimer =
    "Equal to or more than 32 timers become active !\nAt least one close.";
inline constexpr const char* kMsgNoText =
    "読み上げるテキストが抽出できませんでした。"
    "テキストを範囲指定して読み上げボタンをクリックしてください。";
inline constexpr const char* kMsgTerminalWholeText =
    "端末の全文は読み上げられません。"
    "読み上げる部分を範囲指定して範囲指定読み上げボタンをクリックしてください。";

}  // namespace reading

namespace reading {

// Saving speech to a sound file: the dialogs' title, and what the save tells the user. %s is
// the file's or folder's name.
inline constexpr const char* kSaveTitle = "音声ファイルに保存";
inline constexpr const char* kMsgSaveProgress = "「%s」に保存しています...";
inline constexpr const char* kMsgSaveOverwrite = "「%s」は既にあります。\n上書きしますか?";
inline constexpr const char* kMsgSaveReadOnly = "「%s」は読み取り専用です。\n上書きしますか?";
inline constexpr const char* kMsgSaveStoppedByReading =
    "読み上げを始めたため、音声ファイルへの保存を中止しました。"
    "書きかけのファイルは残していません。";
inline constexpr const char* kMsgSaveNameTooLong =
    "「%s」は名前が長すぎます。短い名前を入力してください。";
inline constexpr const char* kMsgSaveIsFolder =
    "「%s」はフォルダーです。保存するファイルの名前を入力してください。";
inline constexpr const char* kMsgSaveCannotCreate =
    "フォルダー「%s」に書き込めません(フォルダーがないか、書き込みが許可されていません)。"
    "別の保存先を選んでください。";
inline constexpr const char* kMsgSaveDiskFull =
    "ディスクの空き容量が足りないため、音声ファイルを保存できませんでした。"
    "書きかけのファイルは残していません。空き容量を増やすか、別の保存先を選んでください。";
inline constexpr const char* kMsgSaveWriteFailed =
    "音声ファイルを書き込めませんでした。書きかけのファイルは残していません。"
    "別の保存先を選んでください。";
inline constexpr const char* kMsgSaveTooLong =
    "音声が長すぎて WAV ファイルには収まりません (4 GB まで)。"
    "書きかけのファイルは残していません。FLAC など別の形式を選んでください。";
inline constexpr const char* kMsgSaveBadFormat =
    "この形式では保存できません。別の形式 (WAV など) を選んでください。";
inline constexpr const char* kMsgSaveUnavailable =
    "現在の言語の音声エンジンは、音声ファイルに保存できません。";

}  // namespace reading
