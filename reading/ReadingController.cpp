#include "reading/ReadingController.h"

#include <memory>
#include <string>

#include "engine/EngineSet.h"
#include "platform/Clipboard.h"
#include "platform/MessageBox.h"
#include "platform/Pump.h"
#include "reading/CaptureFlags.h"
#include "reading/CodePage.h"
#include "reading/Messages.h"
#include "reading/ToolbarHandle.h"

namespace reading {
namespace {

// The clipboard owner may still be rendering a large copy when its ownership notice arrives.
constexpr int kTextWaits = 11;
constexpr int kTextWaitMs = 500;

// 0 stands for the QZ conversion, -1 for a language without an engine.
int EngineCodePage(const engine::LanguageInfo* lang, int chiCodepage) {
    if (!lang) return -1;
    if (lang->number == engine::kChinese && chiCodepage != 0 && chiCodepage != 2) return 0;
    return lang->codePage;
}

}  // namespace

ReadingController::ReadingController(ToolbarHandle& view, platform::Clipboard& clipboard,
                                     engine::EngineSet& engines, platform::MessageBox& messages,
                                     platform::Pump& pump,
                                     std::function<ReadingSettings()> settings, int& captureTimer,
                                     int& paused)
    : m_view(view),
      m_clipboard(clipboard),
      m_engines(engines),
      m_messages(messages),
      m_pump(pump),
      m_settings(std::move(settings)),
      m_bCaptureTimer(captureTimer),
      m_bPaused(paused) {}

void ReadingController::EndCapture() {
    m_view.KillTimer(kCaptureTimerId);
    m_bCaptureTimer = 0;
}

void ReadingController::EndCaptureWithMessage(const char* text) {
    // Killed first, so no tick runs while the box is open.
    m_view.KillTimer(kCaptureTimerId);
    m_messages.Show(text, kToolbarTitle, platform::MessageKind::ToolbarWarning);
    m_bCaptureTimer = 0;
}

void ReadingController::OnCaptureTimer(int /*timerId*/) {
    if (g_bClipboardChanged != 1) return;

    bool hasText = m_clipboard.HasUnicodeText();
    for (int wait = 0; !hasText && wait < kTextWaits; ++wait) {
        m_pump.Sleep(kTextWaitMs);
        hasText = m_clipboard.HasUnicodeText();
    }
    if (!hasText) {
        EndCaptureWithMessage(kMsgNoText);
        return;
    }
    if (!m_clipboard.Open()) {
        EndCaptureWithMessage(kMsgCannotOpen);
        return;
    }
    const std::optional<std::u16string> text = m_clipboard.UnicodeText();
    if (!text) {
        m_clipboard.Close();
        EndCaptureWithMessage(kMsgNoText);
        return;
    }

    const bool spoken = SpeakText(*text, [this] {
        m_clipboard.Empty();
        m_clipboard.Close();
        m_view.KillTimer(kCaptureTimerId);
    });
    if (!spoken) {
        m_clipboard.Empty();
        m_clipboard.Close();
        EndCapture();
        return;
    }
    m_bCaptureTimer = 0;
}

bool ReadingController::SpeakText(const std::u16string& text,
                                  const std::function<void()>& consumed) {
    const ReadingSettings settings = m_settings();
    const engine::LanguageInfo* lang = engine::FindLanguage(settings.language);
    const int codePage = EngineCodePage(lang, settings.chiCodepage);
    const std::size_t n = CodePageLength(kAnsiCodePage, text);
    // Start-up makes the language one of the four; any other number ends like an empty text.
    if (n == 0 || codePage < 0) return false;

    // 2n + 2 holds every conversion: no character takes more than two bytes in these code
    // pages where it took one in code page 932, and QZ output is at most twice its input. The
    // conversions are bounded by the size anyway. Left uninitialised so untouched pages of a
    // huge text cost nothing.
    const std::size_t size = 2 * n + 2;
    std::unique_ptr<char[]> buffer(new char[size]);
    if (codePage == 0) {
        std::unique_ptr<char[]> ansi(new char[n + 1]);
        const std::size_t ansiLength = WideToCodePage(kAnsiCodePage, text, ansi.get(), n + 1);
        m_chineseConv.ConvertQzToGb(reinterpret_cast<unsigned char*>(buffer.get()),
                                    reinterpret_cast<const unsigned char*>(ansi.get()), ansiLength);
    } else {
        WideToCodePage(codePage, text, buffer.get(), size);
    }

    if (consumed) consumed();

    const int language = settings.language;
    m_engines.Stop(language);
    m_engines.Play(language, static_cast<std::intptr_t>(m_view.NativeWindow()), buffer.get(),
                   lang->speaker, settings.pitch, settings.speed, settings.volume,
                   lang->readingTextForm);
    m_bPaused = 0;
    return true;
}

}  // namespace reading
