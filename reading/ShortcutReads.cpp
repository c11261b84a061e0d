#include "reading/ShortcutReads.h"

#include "platform/Clipboard.h"
#include "platform/KeyInjector.h"
#include "platform/Pump.h"
#include "platform/Selection.h"
#include "reading/ReadingCommands.h"

namespace reading {

ShortcutReads::ShortcutReads(ReadingCommands& reading, platform::Selection& selection,
                             platform::Clipboard& clipboard, platform::KeyInjector& keys,
                             platform::Pump& pump)
    : m_reading(reading),
      m_selection(selection),
      m_clipboard(clipboard),
      m_keys(keys),
      m_pump(pump) {}

void ShortcutReads::WaitForModifiersReleased() {
    // Pumped, so stop and pause/resume still work while the user is letting go; bounded, so a
    // key that stays down (a stuck or remapped one) delays the reading only so long.
    for (int waited = 0; waited < kReleaseWaitMs && m_keys.ModifiersHeld();
         waited += kReleasePollMs) {
        m_pump.Drain();
        m_pump.Sleep(kReleasePollMs);
    }
}

void ShortcutReads::ReadSelection() {
    const std::optional<std::u16string> text = m_selection.Text();
    if (text && !text->empty()) {
        m_reading.capture.EndCapture();  // a capture still waiting must not speak later
        m_reading.controller.SpeakText(
            m_reading.controller.TextToRead(*text, [this] { return m_selection.Html(); }));
        return;
    }
    WaitForModifiersReleased();
    m_reading.capture.OnReadSelection();
}

void ShortcutReads::ReadAll() {
    WaitForModifiersReleased();
    m_reading.capture.OnReadAll();
}

bool ShortcutReads::ReadClipboard() {
    if (!m_clipboard.Open()) return false;
    std::optional<std::u16string> text = m_clipboard.UnicodeText();
    if (text && !text->empty())
        text = m_reading.controller.TextToRead(std::move(*text),
                                               [this] { return m_clipboard.Html(); });
    m_clipboard.Close();
    if (!text || text->empty()) return false;
    m_reading.capture.EndCapture();  // a capture still waiting must not speak later
    m_reading.controller.SpeakText(*text);
    return true;
}

}  // namespace reading
