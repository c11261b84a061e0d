#include "reading/ReadingCommands.h"

#include "platform/Clipboard.h"
#include "reading/CaptureFlags.h"

namespace reading {

ReadingCommands::ReadingCommands(ToolbarHandle& view, engine::EngineSet& engines,
                                 platform::MessageBox& messages, const ReadingPlatform& platform,
                                 std::function<ReadingSettings()> settings, int& captureTimer,
                                 int& paused)
    : capture(view, platform.windows, platform.clipboard, platform.keys, platform.pump, messages,
              captureTimer),
      controller(view, platform.clipboard, engines, messages, platform.pump, settings, captureTimer,
                 paused),
      playback(
          engines, [settings] { return settings().language; }, paused,
          [this] { controller.EndWaits(); }),
      m_clipboard(platform.clipboard) {
    capture.ReadTerminalsWith({platform.selection, [this](const std::u16string& text) {
                                   return controller.TakeText(text);
                               }});
    m_clipboard.SetChangeListener(NoteClipboardChange);
}

ReadingCommands::~ReadingCommands() {
    m_clipboard.SetChangeListener(nullptr);
}

}  // namespace reading
