#include "reading/SelectionCapture.h"

#include <cstring>

#include "platform/Clipboard.h"
#include "platform/KeyInjector.h"
#include "platform/MessageBox.h"
#include "platform/Pump.h"
#include "platform/Selection.h"
#include "platform/Utf8.h"
#include "reading/CaptureFlags.h"
#include "reading/CodePage.h"
#include "reading/Messages.h"
#include "reading/TerminalWindows.h"
#include "reading/ToolbarHandle.h"

int g_bCaptureArmed = 0;
int g_bClipboardChanged = 0;
platform::WindowId g_hTargetCandidate = platform::kNoWindow;
int g_bTakeNextWindow = 0;
char g_szWindowTitle[70] = {};
unsigned g_nCapture = 0;
unsigned g_nSaveCapture = 0;
unsigned g_nReadings = 0;

namespace reading {

void NoteClipboardChange() {
    if (g_bCaptureArmed == 1) {
        g_bClipboardChanged = 1;
        g_bCaptureArmed = 0;
    }
}

namespace {

std::string ToAnsi(std::u16string_view text) {
    std::string out(CodePageLength(kAnsiCodePage, text) + 1, '\0');
    out.resize(WideToCodePage(kAnsiCodePage, text, out.data(), out.size()));
    return out;
}

}  // namespace

SelectionCapture::SelectionCapture(ToolbarHandle& view, platform::WindowSystem& windows,
                                   platform::Clipboard& clipboard, platform::KeyInjector& keys,
                                   platform::Pump& pump, platform::MessageBox& messages,
                                   int& captureTimer)
    : m_view(view),
      m_windows(windows),
      m_clipboard(clipboard),
      m_keys(keys),
      m_pump(pump),
      m_messages(messages),
      m_bCaptureTimer(captureTimer),
      m_strHalfWidthName(ToAnsi(u"\uFF8E\uFF99\uFF92\uFF84\uFF97")),
      m_strFullWidthName(ToAnsi(u"\u30DB\u30EB\u30E1\u30C8\u30E9")) {}

void SelectionCapture::Warn(const char* text) {
    m_messages.Show(text, kToolbarTitle, platform::MessageKind::ToolbarWarning);
}

void SelectionCapture::EndCapture() {
    ++g_nCapture;
    g_bCaptureArmed = 0;
    m_view.KillTimer(kCaptureTimerId);
    m_bCaptureTimer = 0;
}

void SelectionCapture::Read(bool selectAll, bool save) {
    // A click during an earlier read's pumped delays runs this inside them: that read, its
    // timer and its waits must end here, or its timer fires into this read's waits and
    // reports a capture that no longer exists.
    EndCapture();
    const unsigned capture = g_nCapture;
    g_nSaveCapture = save ? capture : 0;
    if (!save) ++g_nReadings;

    m_view.Activate();
    if (!m_clipboard.Open()) {
        Warn(kMsgCannotOpen);
        return;
    }
    if (!m_clipboard.Empty()) {
        Warn(kMsgCannotEmpty);
        m_clipboard.Close();
        return;
    }
    m_clipboard.Close();

    // Armed only now; the clipboard watch ignores the (late) notice of our own emptying anyway.
    g_bCaptureArmed = 1;
    g_bClipboardChanged = 0;

    const platform::WindowId before = m_windows.ActiveWindow();
    m_hTarget = platform::kNoWindow;
    ActivateTargetWindow();

    // Keys injected before the target is really active are lost, so wait for the toolbar to
    // lose activation, but never past the next change of the wall-clock second.
    const int second = m_pump.LocalSecond();
    while (m_windows.ActiveWindow() == before && m_pump.LocalSecond() == second) {
    }

    // The keys go to the active window, or to the target once its activation lands.
    if (IsTerminal(m_windows.ActiveWindow()) || IsTerminal(m_hTarget)) {
        ReadTerminal(selectAll);
        return;
    }
    if (selectAll && !SendChord('a', capture)) return;
    if (!SendChord('c', capture)) return;

    if (!m_view.SetTimer(kCaptureTimerId, kCaptureTimerMs)) {
        Warn(kMsgNoTimer);
        m_view.PostClose();
    }
    m_bCaptureTimer = 1;
}

bool SelectionCapture::IsTerminal(platform::WindowId window) {
    return window != platform::kNoWindow && window != m_view.NativeWindow() &&
           IsTerminalWindow(m_windows.Class(window));
}

void SelectionCapture::ReadTerminal(bool selectAll) {
    g_bCaptureArmed = 0;
    if (selectAll) {
        Warn(kMsgTerminalWholeText);
        return;
    }
    const std::optional<std::u16string> text =
        m_terminals ? m_terminals->selection.Text() : std::nullopt;
    if (!text || text->empty() || !m_terminals->speak(*text)) Warn(kMsgNoText);
}

void SelectionCapture::ActivateTargetWindow() {
    for (const platform::WindowId window : m_windows.TopLevelWindows())
        if (!EnumTargetWindowProc(window)) break;
}

bool SelectionCapture::EnumTargetWindowProc(platform::WindowId window) {
    if (!m_windows.IsVisible(window)) return true;

    const std::string utf8 = m_windows.Title(window);
    WideToCodePage(kAnsiCodePage, utf8::ToUtf16(utf8), g_szWindowTitle, sizeof g_szWindowTitle);
    if (g_szWindowTitle[0] == '\0') return true;
    if (m_strHalfWidthName == g_szWindowTitle || m_strFullWidthName == g_szWindowTitle) return true;

    const platform::WindowId toolbar = m_view.NativeWindow();
    if (window != toolbar && m_windows.IsTopmost(window)) return true;

    if (g_bTakeNextWindow == 1) {
        m_windows.SetForeground(window);
        m_hTarget = window;
        g_hTargetCandidate = platform::kNoWindow;
        g_bTakeNextWindow = 0;
        return false;
    }
    if (window == toolbar) {
        if (g_hTargetCandidate == platform::kNoWindow) {
            g_bTakeNextWindow = 1;
            return true;
        }
        m_windows.SetForeground(g_hTargetCandidate);
        m_hTarget = g_hTargetCandidate;
        g_hTargetCandidate = platform::kNoWindow;
        g_bTakeNextWindow = 0;
        return false;
    }
    if (g_hTargetCandidate == platform::kNoWindow) g_hTargetCandidate = window;
    return true;
}

bool SelectionCapture::SendChord(char letter, unsigned capture) {
    // Pumped so the toolbar stays responsive while the target settles.
    for (int i = 0; i < 10; ++i) {
        m_pump.Drain();
        if (g_nCapture != capture) return false;
        m_pump.Sleep(100);
    }
    m_keys.SendControlChord(letter);
    return true;
}

}  // namespace reading
