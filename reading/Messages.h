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
