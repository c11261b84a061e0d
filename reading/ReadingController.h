#pragma once
// The capture timer's handler: once the clipboard watch has seen the copy, takes the text off
// the clipboard (leaving it empty), converts it to the current language's engine encoding and
// has that engine speak it in place of whatever it was saying.

#include <functional>
#include <optional>
#include <string>

#include "engine/EngineApi.h"
#include "engine/Languages.h"

namespace engine {
class EngineSet;
}
namespace platform {
class Clipboard;
class MessageBox;
class Pump;
}  // namespace platform

namespace reading {

class ToolbarHandle;

// What a reading takes from the settings, read afresh on each capture.
struct ReadingSettings {
    int language = 0;  // 7 Japanese, 8 English, 9 Chinese, 10 Korean
    int volume = 0;    // of that language
    int speed = 0;
    int pitch = 0;        // stored as 16-bit, widened with its sign
    int chiCodepage = 0;  // 0 GB, 1 QZ simplified, 2 Big5, 3 QZ traditional
    // 1: a selection with runs of another script goes to the engine as UTF-8, each run read
    // by its own language with that language's voice settings below (Japanese first). 0, and
    // a selection the chosen language alone reads, take the code page path.
    int autoLanguage = 0;
    VtVoiceProsody voices[engine::kLanguageCount] = {};
};

class ReadingController {
  public:
    // captureTimer and paused are the toolbar's m_bCaptureTimer and m_bPaused.
    ReadingController(ToolbarHandle& view, platform::Clipboard& clipboard,
                      engine::EngineSet& engines, platform::MessageBox& messages,
                      platform::Pump& pump, std::function<ReadingSettings()> settings,
                      int& captureTimer, int& paused);

    // The capture timer's tick. Does nothing until the clipboard watch has seen a change.
    void OnCaptureTimer(int timerId);

    // Has the current language's engine speak text in place of whatever it was saying, and
    // forgets a pause. consumed runs once the text is converted, right before the engine
    // calls. False, with nothing called, when the text converts to nothing or the language
    // has no engine. Text that mixes scripts is read as ReadingSettings::autoLanguage says.
    bool SpeakText(const std::u16string& text, const std::function<void()>& consumed = {});
    // What a copy is read as, given its HTML when asked (`html`, called at once or never):
    // furigana that browsers put inline after their base are read once, by their reading for
    // the Japanese voice. A capture's text goes through it; so must any other copy.
    std::u16string TextToRead(std::u16string text,
                              const std::function<std::optional<std::string>()>& html);

    // Where the text of a save capture (SelectionCapture::OnSaveSelection) goes instead of
    // the engine. Without it such a capture is spoken.
    void SaveTextWith(std::function<void(const std::u16string&)> save) { m_save = std::move(save); }
    // The text a capture brought: handed to the save when it is the save capture's (consumed
    // runs first, and the capture ends), else spoken as SpeakText does.
    bool TakeText(const std::u16string& text, const std::function<void()>& consumed = {});

    // A stop while a tick waits for the clipboard's text ends this capture: the waits return
    // at once and nothing is said. At any other time it does nothing.
    void EndWaits();

  private:
    void EndCapture();
    void EndCaptureWithMessage(const char* text);

    ToolbarHandle& m_view;
    platform::Clipboard& m_clipboard;
    engine::EngineSet& m_engines;
    platform::MessageBox& m_messages;
    platform::Pump& m_pump;
    std::function<ReadingSettings()> m_settings;
    int& m_bCaptureTimer;
    int& m_bPaused;
    bool m_bTakingText = false;  // inside a tick's waits for the clipboard's text
    std::function<void(const std::u16string&)> m_save;
};

}  // namespace reading
