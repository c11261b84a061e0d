#pragma once
// The rules behind the user dictionary buttons of the voice settings dialogs: choosing or
// creating the file, and starting and watching the dictionary editor.

#include <string>

#include "engine/Languages.h"
#include "platform/ProcessLauncher.h"
#include "platform/WindowSystem.h"

namespace dialogs {

inline constexpr const char* kBrowseTitle = "ファイルを開く";
inline constexpr const char* kBrowseFilter = "ユーザー辞書ファイル (*.csv)";
inline constexpr const char* kCreateFailedMessage = "ファイルの作成に失敗しました。";
inline constexpr const char* kEditorFailedMessage = "ユーザ辞書エディタの起動に失敗しました。";
inline constexpr const char* kPathTooLongMessage =
    "パスが長すぎます。259バイト以内のパスのファイルを選んでください。";
// How long a started editor may take to show its window before it is left unwatched.
inline constexpr int kEditorWindowWaitMs = 10000;

// The name with ".csv" appended unless its last four characters, lowered, are ".csv".
std::string WithCsvExtension(const std::string& name);
// Leaves an existing file as it is, or creates it empty. False when neither works.
bool EnsureFileExists(const std::string& path);
// The editor program of a language and the folder it runs in.
std::string EditorFolder(const std::string& appDir, const engine::LanguageInfo& lang);
std::string EditorProgram(const std::string& appDir, const engine::LanguageInfo& lang);
// The first top-level window that declares the process as its owner, or kNoWindow.
platform::WindowId FindProcessWindow(platform::WindowSystem& windows, platform::ProcessId pid);

}  // namespace dialogs
