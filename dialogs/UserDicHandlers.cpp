#include "dialogs/UserDicHandlers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "dialogs/VoiceSettingsDialog.h"

namespace dialogs {

std::string WithCsvExtension(const std::string& name) {
    // Only ASCII letters are lowered: in UTF-8 no byte of a multi-byte character is ASCII,
    // so the last four bytes are ".csv" exactly when the last four characters are.
    std::string lowered = name;
    for (char& c : lowered)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lowered.ends_with(".csv") ? name : name + ".csv";
}

bool EnsureFileExists(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) return true;
    // No O_TRUNC: a file that appeared since the check keeps its content.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    close(fd);
    return true;
}

std::string EditorFolder(const std::string& appDir, const engine::LanguageInfo& lang) {
    return appDir + lang.voiceDir + "/bin";
}

std::string EditorProgram(const std::string& appDir, const engine::LanguageInfo& lang) {
    return EditorFolder(appDir, lang) + "/" + lang.editor;
}

platform::WindowId FindProcessWindow(platform::WindowSystem& windows, platform::ProcessId pid) {
    for (platform::WindowId w : windows.TopLevelWindows())
        if (windows.WindowPid(w) == pid) return w;
    return platform::kNoWindow;
}

void VoiceSettingsDialog::OnBrowseUserDic() {
    std::string chosen;
    if (View().AskOpenFile(kBrowseTitle, kBrowseFilter, m_userDicPath.substr(0, kMaxUserDicPath),
                           &chosen)) {
        const std::string name = WithCsvExtension(chosen);
        if (name.size() > kMaxUserDicPath)
            ShowAppMessage(kPathTooLongMessage);
        else if (!EnsureFileExists(name))
            ShowAppMessage(kCreateFailedMessage);
        else
            m_userDicPath = name;
    }
    View().SetControlText(kEditUserDicPath, m_userDicPath);
}

void VoiceSettingsDialog::OnEditUserDic() {
    if (IsWatchingEditor()) return;
    m_hEditorWnd = platform::kNoWindow;
    const platform::ProcessId pid = m_svc.processes.Start(
        EditorProgram(m_svc.appDir, m_lang), {m_userDicPath}, EditorFolder(m_svc.appDir, m_lang));
    if (pid == platform::kNoProcess) {
        ShowAppMessage(kEditorFailedMessage);
        return;
    }
    // The editor's window shows some time after the start; the dialog waits for it on its
    // watch timer, disabled, rather than blocking the event loop.
    m_editorProcess = pid;
    m_nEditorWaitTicks = 0;
    View().Enable(false);
    View().SetTimer(kEditorWatchTimer, kEditorWatchPeriodMs);
}

void VoiceSettingsDialog::EndEditorWatch() {
    View().KillTimer(kEditorWatchTimer);
    View().Enable(true);
    m_editorProcess = platform::kNoProcess;
}

void VoiceSettingsDialog::OnTimer(int id) {
    if (id != kEditorWatchTimer || !IsWatchingEditor()) return;
    if (m_svc.processes.HasEnded(m_editorProcess)) {
        m_hEditorWnd = platform::kNoWindow;
        EndEditorWatch();
        View().BringToFront();
        return;
    }
    if (m_hEditorWnd != platform::kNoWindow) return;
    m_hEditorWnd = FindProcessWindow(m_svc.windows, m_editorProcess);
    if (m_hEditorWnd != platform::kNoWindow) {
        m_svc.windows.SetForeground(m_hEditorWnd);
    } else if (++m_nEditorWaitTicks * kEditorWatchPeriodMs >= kEditorWindowWaitMs) {
        // An editor without a window is left to run unwatched; the launcher collects its end.
        m_svc.processes.Release(m_editorProcess);
        EndEditorWatch();
    }
}

}  // namespace dialogs
