#pragma once
// Saving the speech of a captured text to a sound file: asks for the file, has the current
// language's engine write it (as fast as it synthesises, nothing played) and shows the
// progress until the file is in place, the user cancels, or something else ends the capture
// (stop, close, another read; a read says that it ended the save). A save that fails says why
// and asks for another place; the text is kept until the user gives up.

#include <functional>
#include <string>

#include "reading/ReadingController.h"

namespace engine {
class EngineSet;
}
namespace platform {
class FileDialogs;
class MessageBox;
class Pump;
}  // namespace platform

namespace reading {

// Where a chosen name is saved, and in which format (a VtSaveFormat): the extension names it
// in any case (.wav, .flac, .ogg, .mp3); any other name gets ".wav" appended and is WAV.
struct SaveTarget {
    std::string path;
    int format = 0;
};
SaveTarget ResolveSaveTarget(const std::string& chosen);

class SaveSpeechCommand {
  public:
    // How often the progress is looked at.
    static constexpr int kPollMs = 100;

    // folder: where the file dialog opens first; afterwards it opens where the last save
    // went. paused is the toolbar's m_bPaused (a save ends what was playing).
    SaveSpeechCommand(engine::EngineSet& engines, platform::MessageBox& messages,
                      platform::FileDialogs& dialogs, platform::Pump& pump,
                      std::function<ReadingSettings()> settings, int& paused, std::string folder);

    void Save(const std::u16string& text);

  private:
    // One attempt at the target; the final VtSaveStatus.
    short Write(const char* text, const ReadingSettings& settings, const SaveTarget& target);
    // Tells why a save ended as it did; false when there is nothing to tell (done, cancelled).
    bool Explain(short status, const SaveTarget& target);
    void Warn(const std::string& text);

    engine::EngineSet& m_engines;
    platform::MessageBox& m_messages;
    platform::FileDialogs& m_dialogs;
    platform::Pump& m_pump;
    std::function<ReadingSettings()> m_settings;
    int& m_bPaused;
    std::string m_strFolder;
    unsigned m_nCapture = 0;  // the capture that brought the text being saved
};

}  // namespace reading
