#pragma once
// Keeps the settings file in step with the settings in memory. Writes are spaced out while
// changes keep coming (a drag, a run of speed steps); a write that fails is reported once on
// the terminal, and the first change of the user's that cannot be kept once in a message box.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/MessageBox.h"
#include "platform/RegistryHive.h"
#include "settings/SettingsWriteScheduler.h"

class SettingsKeeper {
  public:
    // arm starts a one-shot timer that calls OnTimer after delayMs; report takes one line for
    // the user's terminal (may be empty).
    SettingsKeeper(platform::RegistryHive& hive, platform::MessageBox& messages,
                   std::function<void(const std::string&)> report,
                   std::function<void(int delayMs)> arm, std::function<std::int64_t()> nowMs);

    // The hive changed in memory: schedules the write.
    void Changed() { m_writes.Changed(); }
    void OnTimer() { m_writes.OnTimer(); }
    // Writes what is pending now; done before a modal dialog opens and at teardown.
    void Flush() { m_writes.Flush(); }
    // A change the user made (a dialog's OK, a language choice): written at once.
    void KeepUserChange();
    // The speed the sentence moves and speed steps chose, stored as the voice dialog's OK
    // stores it. Written with the next spaced write: the steps come in runs.
    void KeepSpeed(int language, int speed);
    // Takes the voices, the Chinese code and the language detection another program stored.
    void TakeStoredVoices();

  private:
    void Write();
    void TellUnsavedChange();

    platform::RegistryHive& m_hive;
    platform::MessageBox& m_messages;
    std::function<void(const std::string&)> m_report;
    SettingsWriteScheduler m_writes;
    bool m_bLastWriteOk = true;
    bool m_bWriteFailing = false;       // reported, and no write has succeeded since
    bool m_bToldUnsavedChange = false;  // the message box was shown this run
    bool m_bUserChangePending = false;  // a change of the user's waits for the next write
};
