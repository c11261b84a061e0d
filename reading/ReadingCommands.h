#pragma once
// The reading subsystem as the toolbar owns it: the read commands, the clipboard watch, the
// reading controller and playback control, wired to one set of platform services.

#include <functional>

#include "reading/PlaybackControl.h"
#include "reading/ReadingController.h"
#include "reading/SelectionCapture.h"

namespace reading {

class ToolbarHandle;

struct ReadingPlatform {
    platform::WindowSystem& windows;
    platform::Clipboard& clipboard;
    platform::KeyInjector& keys;
    platform::Pump& pump;
    platform::Selection& selection;  // PRIMARY, for terminals
};

class ReadingCommands {
  public:
    // Registers the clipboard watch with the clipboard, and removes it again on destruction.
    ReadingCommands(ToolbarHandle& view, engine::EngineSet& engines, platform::MessageBox& messages,
                    const ReadingPlatform& platform, std::function<ReadingSettings()> settings,
                    int& captureTimer, int& paused);
    ~ReadingCommands();
    ReadingCommands(const ReadingCommands&) = delete;
    ReadingCommands& operator=(const ReadingCommands&) = delete;

    SelectionCapture capture;
    ReadingController controller;
    PlaybackControl playback;

  private:
    platform::Clipboard& m_clipboard;
};

}  // namespace reading
