#include "app/RemoteActions.h"

#include <utility>

#include "app/CBrisoletDlg.h"
#include "app/CommandLine.h"
#include "platform/Clipboard.h"
#include "platform/MessageBox.h"
#include "platform/Selection.h"
#include "platform/WindowSystem.h"
#include "reading/Messages.h"
#include "reading/ReadingCommands.h"
#include "reading/ShortcutCommands.h"
#include "reading/ToolbarHandle.h"

std::optional<std::string> RemoteActionOf(int argc, char** argv) {
    if (argc != 2) return std::nullopt;
    const app::CommandLineResult command = app::ReadCommandLine(argc, argv);
    if (command.exitStatus >= 0 || command.action.empty()) return std::nullopt;
    return command.action;
}

bool CBrisoletDlg::RunAction(const std::string& name) {
    static constexpr std::pair<std::string_view, int> kShortcutActions[] = {
        {"read-selection", reading::kShortcutReadSelection},
        {"read-all", reading::kShortcutReadAll},
        {"pause-resume", reading::kShortcutPauseResume},
        {"stop", reading::kShortcutStop},
        {"next-sentence", reading::kShortcutNextSentence},
        {"previous-sentence", reading::kShortcutPreviousSentence},
        {"faster", reading::kShortcutFaster},
        {"slower", reading::kShortcutSlower}};
    if (name == "quit") {
        OnOK();
        return true;
    }
    if (!m_reading || !m_shortcuts) return false;
    const bool read = name == "read-selection" || name == "read-all";
    if (read && m_readWindows && m_readWindows->ActiveWindow() == platform::kNoWindow) {
        // No X11 window is active: the user is in a native Wayland window (or in none). The
        // copy chord would go to an X11 window the user is not in, so only the sources that
        // read without keys are asked.
        const std::optional<std::u16string> text =
            name == "read-all" ? (m_wholeText ? m_wholeText() : std::nullopt)
                               : (m_selection ? m_selection->Text() : std::nullopt);
        SpeakOrSayNone(text);
        return true;
    }
    for (const auto& [action, shortcut] : kShortcutActions) {
        if (action != name) continue;
        ++m_nInShortcut;
        m_shortcuts->OnShortcut(shortcut);
        --m_nInShortcut;
        return true;
    }
    if (name != "read-clipboard") return false;
    std::optional<std::u16string> text;
    if (m_clipboard && m_clipboard->Open()) {
        text = m_clipboard->UnicodeText();
        m_clipboard->Close();
    }
    SpeakOrSayNone(text);
    return true;
}

void CBrisoletDlg::SpeakOrSayNone(const std::optional<std::u16string>& text) {
    // A capture still waiting must not speak later over this reading.
    m_reading->capture.EndCapture();
    if (text && !text->empty())
        m_reading->controller.SpeakText(*text);
    else
        m_svc.messages.Show(reading::kMsgNoText, reading::kToolbarTitle,
                            platform::MessageKind::ToolbarWarning);
}
