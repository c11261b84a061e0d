// selvarine: the read-aloud toolbar.

#include <QApplication>
#include <QDir>
#include <QGuiApplication>

#include <memory>
#include <string>

#include "app/CBrisoletApp.h"
#include "app/CBrisoletDlg.h"
#include "app/CommandLine.h"
#include "app/CaptionWindow.h"
#include "app/RemoteActions.h"
#include "app/RemoteCommand.h"
#include "app/ShortcutSettings.h"
#include "app/ToolbarWindow.h"
#include "dialogs/VoiceManager.h"
#include "dialogs/VoiceSettingsDialog.h"
#include "dialogs/qt/CLangselDlg.h"
#include "dialogs/qt/QtVoiceDialogRunner.h"
#include "dialogs/qt/VoiceManagerWindow.h"
#include "engine/Diagnostics.h"
#include "engine/LibraryEngineSet.h"
#include "platform/ProgramDir.h"
#include "platform/SelectionChain.h"
#include "platform/dbus/AtspiSelection.h"
#include "platform/dbus/PortalGlobalShortcuts.h"
#include "platform/dbus/ToolbarBus.h"
#include "platform/posix/FlockInstanceLock.h"
#include "platform/posix/PosixProcessLauncher.h"
#include "platform/posix/RegFileHive.h"
#include "platform/qt/QtFileDialogs.h"
#include "platform/qt/QtMessageBox.h"
#include "platform/qt/QtPump.h"
#include "platform/qt/QuitSignals.h"
#include "platform/wayland/WaylandPrimarySelection.h"
#include "platform/x11/X11ActivationHistory.h"
#include "platform/x11/X11Clipboard.h"
#include "platform/x11/X11GlobalShortcuts.h"
#include "platform/x11/X11KeyInjector.h"
#include "platform/x11/X11PrimarySelection.h"
#include "platform/x11/X11QtStart.h"
#include "platform/x11/X11WindowSystem.h"
#include "reading/ReadingCommands.h"
#include "settings/EngineOptions.h"
#include "settings/Globals.h"
#include "synth/backend/sherpa/VoiceLibrary.h"

namespace {

void Report(const std::string& line) {
    diag::Say(diag::Level::Error, "%s", line.c_str());
}

void RunToolbar(_XDisplay* display, platform::WindowSystem& windows) {
    platform::RegFileHive hive(platform::RegFileHive::DefaultPath());
    if (hive.FilePath().empty())
        Report(
            "no home folder of this user (HOME is not set and the password database names "
            "none); running on the defaults, and no settings are kept");
    const platform::RegFileHive::LoadResult loaded = hive.Load();
    if (loaded == platform::RegFileHive::LoadResult::Unreadable)
        diag::Say(diag::Level::Error,
                  "cannot read the settings file %s (%s); running on the defaults without "
                  "writing it",
                  hive.FilePath().c_str(), hive.Problem().c_str());
    if (loaded == platform::RegFileHive::LoadResult::Salvaged) {
        const std::string kept = hive.BackupPath().empty()
                                     ? "the readable values were kept"
                                     : "its original was kept as " + hive.BackupPath();
        diag::Say(diag::Level::Error, "the settings file %s was damaged; %s",
                  hive.FilePath().c_str(), kept.c_str());
    }
    engine::LibraryEngineSet engines(g_szAppDir);
    engines.TellOptionsFrom(
        [&hive](int language) { return settings::EngineOptionsFor(hive, language); });
    for (int n = engine::kJapanese; n <= engine::kKorean; ++n)
        if (!engines.Available(n))
            diag::Say(diag::Level::Detail, "engine %d unavailable: %s", n,
                      engines.Problem(n).c_str());
    platform::QtMessageBox messages;
    platform::QtFileDialogs fileDialogs;
    ToolbarWindow window;
    CaptionWindow caption;
    // Declared before the logic that uses them, so they outlive it.
    platform::X11Clipboard clipboard;
    platform::X11KeyInjector keys(display);
    platform::QtPump pump;
    platform::PosixProcessLauncher processes;
    dialogs::QtVoiceDialogRunner voiceDialogs;
    QtLanguageSelection languageSelection(g_bEngineLoaded);
    platform::X11PrimarySelection x11Primary;
    // Native Wayland windows' selection is out of XWayland's reach on most compositors.
    std::unique_ptr<platform::WaylandPrimarySelection> waylandPrimary;
    if (std::getenv("WAYLAND_DISPLAY"))
        waylandPrimary = std::make_unique<platform::WaylandPrimarySelection>();
    // Through XWayland the window a button click comes from may be a native Wayland one.
    std::unique_ptr<platform::X11ActivationHistory> activations;
    if (std::getenv("WAYLAND_DISPLAY"))
        activations = std::make_unique<platform::X11ActivationHistory>();
    platform::AtspiSelection atspi;
    platform::SelectionChain selection({{"AT-SPI", &atspi},
                                        {"Wayland data control", waylandPrimary.get()},
                                        {"X11 PRIMARY", &x11Primary}});
    // On Wayland, X11 grabs fire only while an X11 window has the focus; the desktop's portal
    // binds keys for every window, where it has one.
    auto makeShortcuts = [display]() -> std::unique_ptr<platform::GlobalShortcuts> {
        auto grabs = [display]() -> std::unique_ptr<platform::GlobalShortcuts> {
            return std::make_unique<platform::X11GlobalShortcuts>(display);
        };
        if (!std::getenv("WAYLAND_DISPLAY") || !platform::SessionBusConfigured()) return grabs();
        auto name = [](int id) {
            const std::string_view value = settings::kShortcutSettings[id].valueName;
            return std::string(value.substr(value.find("Shortcut") == 0 ? 8 : 0));
        };
        return std::make_unique<platform::PortalGlobalShortcuts>(
            platform::PortalGlobalShortcuts::Options{name, grabs, Report});
    };
    // Renewed when the shortcut values are edited: dropping it releases every key.
    std::unique_ptr<platform::GlobalShortcuts> shortcuts = makeShortcuts();
    CBrisoletDlg dlg(window, ToolbarServices{hive, messages, engines,
                                             SettingsWriteScheduler::SteadyNowMs, Report});
    hive.DeferWrites([&dlg] { dlg.OnSettingsChanged(); });
    dlg.AttachReading({windows, clipboard, keys, pump, selection});
    dlg.AttachSaving(fileDialogs, pump, QDir::homePath().toStdString());
    dlg.AttachSettingsDialogs(voiceDialogs, processes, windows);
    dlg.AttachLanguageSelection(languageSelection);
    dialogs::VoiceManager voiceManager(hive, synth::voicesFolder());
    dlg.AttachVoiceManager([&](int language) {
        voiceManager.Refresh();
        auto test = [&engines, &window](int lang) {
            const VoiceSettings* voice = VoiceSettingsFor(lang);
            if (const engine::LanguageInfo* info = engine::FindLanguage(lang); info && voice)
                dialogs::PlayTestSentence(engines, *info, static_cast<std::intptr_t>(window.winId()),
                                          voice->pitch, voice->speed, voice->volume);
        };
        VoiceManagerWindow manager(voiceManager, messages, test, language);
        manager.exec();
    });
    dlg.AttachWholeText([&atspi] { return atspi.WholeText(); });
    if (activations) dlg.AttachActivationHistory(*activations);
    dlg.AttachCaption(caption);
    dlg.AttachShortcuts(*shortcuts, Report,
                        [&]() -> platform::GlobalShortcuts& {
                            shortcuts.reset();
                            shortcuts = makeShortcuts();
                            return *shortcuts;
                        });
    window.SetLogic(&dlg);
    platform::ToolbarBusService bus([&dlg](const std::string& action) {
        const bool known = dlg.Dispatch(action);
        if (!known) diag::Say(diag::Level::Error, "unknown action '%s'", action.c_str());
        return known;
    });
    if (!bus.Ok())
        diag::Say(diag::Level::Detail, "the command line cannot reach this toolbar: %s",
                  bus.Problem().c_str());
    platform::QuitSignals quit([&window] { window.PostClose(); });
    window.RunModal();
}

}  // namespace

int main(int argc, char** argv) {
    // Before Qt, which would need a display for --help too.
    const app::CommandLineResult command = app::ReadCommandLine(argc, argv);
    if (command.exitStatus >= 0) {
        if (!command.error.empty()) diag::Say(diag::Level::Error, "%s", command.error.c_str());
        // Help that could not be written (a closed pipe, a full disk) is a failure.
        if (std::fputs(command.out.c_str(), stdout) < 0 || std::fflush(stdout) != 0) return 1;
        return command.exitStatus;
    }
    // An action for the toolbar (selvarine --stop): handed to the running one over the bus.
    if (!command.action.empty()) return RunRemoteCommand(argc, argv, command.action);
    platform::X11QtStart start(argc, argv, "selvarine");
    if (!start.Ready()) {
        if (start.Choice().reason == platform::DisplayPlatformChoice::Reason::NoDisplay)
            diag::SayAsIs(diag::Level::Error,
                          "Start it inside an X11 desktop session, or run scripts/run, which "
                          "shows a headless demonstration when no display is available.");
        return 1;
    }
    QApplication app(start.Argc(), start.Argv());
    if (!start.OnX11()) return 1;
    if (start.Environment().WaylandSession())
        diag::SayAsIs(diag::Level::Detail, platform::WaylandLimitsMessage("selvarine").c_str());
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    platform::X11WindowSystem windows(x11->display());
    platform::FlockInstanceLock lock;
    _XDisplay* display = x11->display();
    CBrisoletApp theApp(windows, lock,
                        {platform::ProgramDirectory, [&] { RunToolbar(display, windows); }});
    theApp.InitInstance();
    if (g_hExistingWindow != platform::kNoWindow)
        diag::Say(diag::Level::Detail, "already running (window 0x%lx)",
                  static_cast<unsigned long>(g_hExistingWindow));
    return theApp.ExitInstance();
}
