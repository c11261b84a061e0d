#include "reading/ShortcutCommands.h"

#include "platform/KeyInjector.h"
#include "platform/Pump.h"
#include "platform/Selection.h"
#include "reading/FollowAlong.h"
#include "reading/ReadingCommands.h"

namespace reading {

ShortcutCommands::ShortcutCommands(ReadingCommands& reading, platform::Selection& selection,
                                   platform::KeyInjector& keys, platform::Pump& pump,
                                   FollowAlong* follow)
    : m_reading(reading), m_selection(selection), m_keys(keys), m_pump(pump), m_follow(follow) {}

void ShortcutCommands::WaitForModifiersReleased() {
    // Pumped, so stop and pause/resume still work while the user is letting go; bounded, so a
    // key that stays down (a stuck or remapped one) delays the reading only so long.
    for (int waited = 0; waited < kReleaseWaitMs && m_keys.ModifiersHeld();
         waited += kReleasePollMs) {
        m_pump.Drain();
        m_pump.Sleep(kReleasePollMs);
    }
}

void ShortcutCommands::OnShortcut(int shortcut) {
    switch (shortcut) {
        case kShortcutReadSelection: {
            const std::optional<std::u16string> text = m_selection.Text();
            if (text && !text->empty()) {
                m_reading.capture.EndCapture();  // a capture still waiting must not speak later
                m_reading.controller.SpeakText(*text);
                return;
            }
            WaitForModifiersReleased();
            m_reading.capture.OnReadSelection();
            break;
        }
        case kShortcutReadAll:
            WaitForModifiersReleased();
            m_reading.capture.OnReadAll();
            break;
        case kShortcutPauseResume:
            m_reading.playback.OnPauseResume();
            break;
        case kShortcutStop:
            m_reading.playback.OnStop();
            break;
        case kShortcutNextSentence:
            if (m_follow) m_follow->NextSentence();
            break;
        case kShortcutPreviousSentence:
            if (m_follow) m_follow->PreviousSentence();
            break;
        case kShortcutFaster:
            if (m_follow) m_follow->Faster();
            break;
        case kShortcutSlower:
            if (m_follow) m_follow->Slower();
            break;
        default:
            break;
    }
}

}  // namespace reading
