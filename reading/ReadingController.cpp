#include "reading/ReadingController.h"

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>

#include "engine/EngineSet.h"
#include "platform/Clipboard.h"
#include "platform/MessageBox.h"
#include "platform/Pump.h"
#include "platform/Utf8.h"
#include "reading/CaptureFlags.h"
#include "reading/CodePage.h"
#include "reading/EngineText.h"
#include "reading/HtmlRuby.h"
#include "reading/Messages.h"
#include "reading/ToolbarHandle.h"
#include "synth/text/RubyNotation.h"
#include "synth/text/ScriptRuns.h"

namespace reading {
namespace {

// The clipboard owner may still be rendering a large copy when its ownership notice arrives.
constexpr int kTextWaits = 11;
constexpr int kTextWaitMs = 500;

// Control characters and blanks alone (a copy of binary data, NUL bytes) give a voice nothing
// to say: better the extraction message than silence.
bool HasSomethingToSay(std::u16string_view text) {
    for (const char16_t c : text) {
        const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
        const bool blank = c == u' ' || c == 0x00A0 || c == 0x3000 || c == 0xFEFF ||
                           (c >= 0x2000 && c <= 0x200B) || c == 0x2028 || c == 0x2029;
        if (!control && !blank) return true;
    }
    return false;
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

void ReadingController::EndWaits() {
    if (!m_bTakingText) return;
    ++g_nCapture;
    EndCapture();
}

void ReadingController::OnCaptureTimer(int /*timerId*/) {
    // Ticks that fall into this capture's own waits find it busy.
    if (g_bClipboardChanged != 1 || m_bTakingText) return;

    // The waits give the clipboard owner time to offer text. They are pumped, so stop, close
    // and dragging still work; a handler that ends this capture (stop, close, another read)
    // ends the waits too, and then nothing more is said.
    const unsigned capture = g_nCapture;
    const auto ended = [capture] { return g_nCapture != capture; };
    bool hasText = m_clipboard.HasUnicodeText();
    if (!hasText) {
        m_bTakingText = true;
        for (int wait = 0; !hasText && wait < kTextWaits; ++wait) {
            if (!m_pump.ResponsiveWait(kTextWaitMs, ended)) {
                m_bTakingText = false;
                return;
            }
            hasText = m_clipboard.HasUnicodeText();
        }
        m_bTakingText = false;
    }
    if (!hasText) {
        EndCaptureWithMessage(kMsgNoText);
        return;
    }
    if (!m_clipboard.Open()) {
        EndCaptureWithMessage(kMsgCannotOpen);
        return;
    }
    std::optional<std::u16string> text = m_clipboard.UnicodeText();
    if (!text) {
        m_clipboard.Close();
        EndCaptureWithMessage(kMsgNoText);
        return;
    }
    text = TextToRead(std::move(*text), [this] { return m_clipboard.Html(); });

    if (!text->empty() && !HasSomethingToSay(*text)) {
        m_clipboard.Empty();
        m_clipboard.Close();
        EndCaptureWithMessage(kMsgNoText);
        return;
    }

    const bool spoken = TakeText(*text, [this] {
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

bool ReadingController::TakeText(const std::u16string& text,
                                 const std::function<void()>& consumed) {
    if (g_nSaveCapture == 0 || g_nSaveCapture != g_nCapture || !m_save)
        return SpeakText(text, consumed);
    g_nSaveCapture = 0;
    if (consumed) consumed();
    m_bCaptureTimer = 0;
    m_save(text);
    return true;
}

// Browsers copy furigana into the plain text after its base (門もん前ぜん); their HTML still
// tells the two apart. Readings are kana, for the Japanese voice; the others read the base as
// written. Text without kana has no readings to find, so its HTML (often several times the
// text's size) is not fetched.
std::u16string ReadingController::TextToRead(
    std::u16string text, const std::function<std::optional<std::string>()>& html) {
    const bool hasKana = std::any_of(text.begin(), text.end(),
                                     [](char16_t c) { return c >= 0x3041 && c <= 0x30FF; });
    if (const std::optional<std::string> page = hasKana ? html() : std::nullopt)
        if (const std::optional<std::string> ruby = TextWithRuby(*page))
            return utf8::ToUtf16(m_settings().language == engine::kJapanese
                                     ? *ruby
                                     : synth::rubyShown(*ruby));
    return text;
}

bool ReadingController::SpeakText(const std::u16string& text,
                                  const std::function<void()>& consumed) {
    ++g_nReadings;
    const ReadingSettings settings = m_settings();
    const engine::LanguageInfo* lang = engine::FindLanguage(settings.language);
    const int codePage = EngineCodePage(lang, settings.chiCodepage);
    // Start-up makes the language one of the four; any other number ends like an empty text.
    if (codePage < 0) return false;

    const int language = settings.language;
    const std::intptr_t window = static_cast<std::intptr_t>(m_view.NativeWindow());
    // QZ text is Chinese stored in the code points of Japanese characters: its script says
    // nothing about its language, so it always takes the QZ conversion.
    if (settings.autoLanguage && codePage != 0) {
        // Like the code page path, the text ends at its first zero unit.
        const std::string utf8 = utf8::FromUtf16(ConvertedPart(text));
        if (!synth::readByChosenAlone(utf8, language)) {
            if (utf8.empty()) return false;
            if (consumed) consumed();
            m_engines.Stop(language);
            m_engines.PlayUtf8(language, window, utf8.c_str(), lang->speaker, settings.voices);
            m_bPaused = 0;
            return true;
        }
    }

    const std::unique_ptr<char[]> buffer = EngineText(text, settings);
    if (!buffer) return false;

    if (consumed) consumed();

    m_engines.Stop(language);
    m_engines.Play(language, window, buffer.get(), lang->speaker, settings.pitch, settings.speed,
                   settings.volume, lang->readingTextForm);
    m_bPaused = 0;
    return true;
}

}  // namespace reading
