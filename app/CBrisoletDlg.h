#pragma once
// The toolbar's logic: its initialisation order, its message routing and its teardown.
// Plain C++: the window itself is reached through ToolbarView, so all of this runs under
// test without a display. The lifecycle is in CBrisoletDlg.cpp, the actions in
// ToolbarActions.cpp, the engines' start in EngineStartUp.cpp.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/Actions.h"
#include "app/SettingsKeeper.h"
#include "app/ToolbarView.h"
#include "engine/EngineSet.h"
#include "platform/MessageBox.h"
#include "platform/RegistryHive.h"
#include "settings/SettingsWriteScheduler.h"

struct ToolbarServices {
    platform::RegistryHive& hive;
    platform::MessageBox& messages;
    engine::EngineSet& engines;
    std::function<std::int64_t()> nowMs = SettingsWriteScheduler::SteadyNowMs;
    // Takes one line for the user's terminal (stderr); none in tests that do not ask.
    std::function<void(const std::string&)> report = {};
};

namespace dialogs {
class LanguageSelectionDialog;
}  // namespace dialogs

class CaptionFollower;
class CaptionView;
class ShortcutBinding;

namespace platform {
class ActivationHistory;
class FileDialogs;
class GlobalShortcuts;
class Pump;
class Selection;
}  // namespace platform

namespace reading {
class FollowAlong;
class ReadingCommands;
struct ReadingPlatform;
class SaveSpeechCommand;
class ShortcutReads;
}  // namespace reading

namespace dialogs {
class VoiceDialogRunner;
}
namespace platform {
class ProcessLauncher;
class WindowSystem;
}  // namespace platform

class CBrisoletDlg {
  public:
    CBrisoletDlg(ToolbarView& view, const ToolbarServices& services);
    ~CBrisoletDlg();
    CBrisoletDlg(const CBrisoletDlg&) = delete;
    CBrisoletDlg& operator=(const CBrisoletDlg&) = delete;

    // Runs once, before the window is shown; returns true.
    bool OnInitDialog();
    // Runs once, after the modal run has ended.
    void OnDestroy();

    // Window messages, as the widget forwards them.
    void OnMove(int x, int y);
    // A button's or a menu item's command (app/CommandIds.h).
    void OnCommand(int id);
    // Runs the action named in kActions ("read-selection", "stop", ...) as asked from outside
    // the toolbar (the command line); false, and nothing done, when no action has that name.
    // Call it on the GUI thread from the event loop, as the shortcuts are called: an action
    // may pump events or run a modal dialog before it returns.
    bool Dispatch(std::string_view name);
    // The whole text of the focused text field of a window that gets no chords (AT-SPI), for
    // read-all while no X11 window is active; nullopt when there is none.
    void AttachWholeText(std::function<std::optional<std::u16string>()> wholeText) {
        m_wholeText = std::move(wholeText);
    }
    // Which window the user was in before clicking the toolbar, where chords reach only some
    // windows (XWayland): a read button clicked after a window of none of them reads without
    // keys, as a read asked from elsewhere does. Without it the buttons always copy.
    void AttachActivationHistory(platform::ActivationHistory& history) {
        m_activations = &history;
    }
    // The one handler of every action, whoever asked for it.
    void RunAction(Action action, Trigger trigger);
    void OnTimer(int id);
    void OnOK();
    void OnCancel();
    // A right click at (x, y) on screen, or the Menu key or Shift+F10 (atToolbar): shows the
    // context menu (app/ToolbarMenu.h) and runs the command chosen.
    void OnContextMenu(int x, int y, bool atToolbar);
    bool IsMenuItemChecked(int id) const;

    // The settings hive changed in memory: schedules the write of the settings file.
    void OnSettingsChanged() { m_keeper.Changed(); }
    // Writes pending settings now; done before a modal dialog opens and at teardown. A write
    // that fails is reported once through ToolbarServices::report, and again only after a
    // write has succeeded in between.
    void FlushSettings() { m_keeper.Flush(); }
    // Writes a change the user made (a dialog's OK, a language choice) at once. The first
    // such change of a run that cannot be kept is also shown in a message box.
    void KeepUserChange() { m_keeper.KeepUserChange(); }

    // Gives the toolbar its read commands (101, 1015), capture timer, pause/resume (1042),
    // stop (102), sentence moves and speed steps. Without it those commands do nothing (tests
    // of the shell alone).
    void AttachReading(const reading::ReadingPlatform& platform);
    // Takes the global shortcuts the settings give (after AttachReading). Values that do not
    // parse and shortcuts that cannot be had are reported, one line each. renew, when given,
    // releases every chord taken and returns a fresh set: shortcut values edited in the
    // settings file then take effect while the toolbar runs.
    void AttachShortcuts(platform::GlobalShortcuts& shortcuts,
                         const std::function<void(const std::string&)>& report,
                         std::function<platform::GlobalShortcuts&()> renew = {});
    // Looks whether another program changed the settings file (every second, on a timer)
    // and puts its values in force: the voices and the Chinese code at the next reading, the
    // shortcuts and the caption choice at once. The language, the position and the
    // dictionaries stay as they are until the next start; the toolbar's own later writes keep
    // them in the file.
    void TakeStoredSettings();

    // Gives the caption (字幕を表示) its strip. Without it the choice is kept but nothing shows.
    void AttachCaption(CaptionView& view);
    // Gives the toolbar its save command (kIdSaveSpeech, after AttachReading): the selection's
    // speech to a sound file, the file dialog opening on folder first. Without it the command
    // does nothing.
    void AttachSaving(platform::FileDialogs& dialogs, platform::Pump& pump,
                      const std::string& folder);
    // After a window out of the copy chord's reach, the selection is taken without keys.
    void OnSaveSpeech(Trigger trigger = Trigger::Toolbar);

    // Gives the language command (104) its dialog. Without it the command does nothing.
    void AttachLanguageSelection(dialogs::LanguageSelectionDialog& dialog) { m_langsel = &dialog; }
    // Gives 声の管理 its dialog, opened on the language given; without it the command does
    // nothing.
    void AttachVoiceManager(std::function<void(int language)> open) {
        m_openVoices = std::move(open);
    }
    void OnLanguage();

    // Gives the toolbar its settings command (103). Without it the command does nothing.
    void AttachSettingsDialogs(dialogs::VoiceDialogRunner& runner,
                               platform::ProcessLauncher& processes,
                               platform::WindowSystem& windows);
    // Opens the current language's voice settings dialog (103).
    void OnSettings();

    void LoadSettings();
    int StartJapaneseEngine();
    int StartEnglishEngine();
    int StartChineseEngine();
    int StartKoreanEngine();

    ToolbarView& View() { return m_view; }
    const ToolbarServices& Services() const { return m_svc; }

    int m_nPosX = 0;
    int m_nPosY = 0;
    int m_bCaptureTimer = 0;
    std::string m_strUserDicChi, m_strUserDicEng, m_strUserDicKor, m_strUserDicJpn;
    int m_bSettingsLoaded = 0;
    int m_bPaused = 0;
    bool m_bShowCaption = false;

  private:
    int StartEngineFor(int language, const std::string& userDicPath);
    void StartEngines();
    void ChooseUsableLanguage();
    void OnShowCaption();
    // 言語を自動判別: switches between reading each script's runs with its own language and
    // reading everything with the chosen one; the choice is kept in the settings at once.
    void OnAutoLanguage();
    void OnReadingChoice(int id);
    void FollowCaptionSetting();
    void TellCaptionWhereTheToolbarIs(int x, int y);

    ToolbarView& m_view;
    ToolbarServices m_svc;
    SettingsKeeper m_keeper;
    std::unique_ptr<reading::ReadingCommands> m_reading;
    std::unique_ptr<reading::FollowAlong> m_follow;  // with m_reading
    std::unique_ptr<CaptionFollower> m_caption;
    dialogs::LanguageSelectionDialog* m_langsel = nullptr;
    std::function<void(int language)> m_openVoices;
    std::unique_ptr<reading::ShortcutReads> m_elsewhereReads;  // with m_reading
    // Whether the window to be read gets no chords (a native Wayland window): asked from
    // outside, no X11 window is active; from the toolbar, the window active before it was
    // none. A chord would go to an X11 window the user is not in.
    bool OutOfChordsReach(Trigger trigger);
    // Reads through the sources that need no keys; false when there is no reading to do it.
    bool ReadWithoutKeys(Action action);
    // The selection from the sources that need no keys, its furigana applied; nothing when
    // none has text.
    std::optional<std::u16string> SelectionWithoutKeys();
    void SayNothingToRead();
    platform::WindowSystem* m_readWindows = nullptr;  // from AttachReading
    platform::Selection* m_selection = nullptr;       // from AttachReading
    platform::ActivationHistory* m_activations = nullptr;
    std::function<std::optional<std::u16string>()> m_wholeText;
    std::unique_ptr<reading::SaveSpeechCommand> m_save;        // m_reading hands it texts
    std::unique_ptr<ShortcutBinding> m_shortcuts;
    dialogs::VoiceDialogRunner* m_voiceDialogs = nullptr;
    platform::ProcessLauncher* m_processes = nullptr;
    platform::WindowSystem* m_windows = nullptr;
};
