#pragma once
// The global shortcuts the settings give, bound to the toolbar's actions. Values that do not
// parse and chords that cannot be had are reported, one line each. When the values are edited
// in the settings file, the chords are taken again from a fresh set.

#include <functional>
#include <string>
#include <vector>

#include "app/Actions.h"
#include "platform/GlobalShortcuts.h"
#include "platform/RegistryHive.h"

class ShortcutBinding {
  public:
    using Report = std::function<void(const std::string&)>;
    // run performs a shortcut's action. renew, when given, releases every chord taken and
    // returns a fresh set; without it edits take effect at the next start.
    ShortcutBinding(platform::RegistryHive& hive, std::function<void(Action)> run, Report report,
                    std::function<platform::GlobalShortcuts&()> renew);

    void Take(platform::GlobalShortcuts& shortcuts);
    // The stored values may have changed: they are looked at by the next TakeAgainIfEdited.
    void StoredValuesChanged() { m_bToCheck = true; }
    // Takes the chords again if their values differ from those in force. Never while a
    // shortcut's action runs: it pumps events, and the set that called it must outlive the
    // call; the look then waits for a later turn.
    void TakeAgainIfEdited();

  private:
    platform::RegistryHive& m_hive;
    std::function<void(Action)> m_run;
    Report m_report;
    std::function<platform::GlobalShortcuts&()> m_renew;
    std::vector<std::string> m_texts;  // the chords in force, as their values give them
    bool m_bToCheck = false;
    int m_nRunning = 0;  // a shortcut's action is running
};
