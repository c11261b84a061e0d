#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/CBrisoletDlg.h"
#include "app/CommandIds.h"
#include "app/ShortcutSettings.h"
#include "dialogs/LanguageSelection.h"
#include "engine/EngineStartup.h"
#include "platform/posix/RegFileHive.h"
#include "settings/EngineOptions.h"
#include "settings/Globals.h"
#include "settings/ReadingChoices.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsWriteScheduler.h"
#include "tests/fakes/FakeDesktop.h"
#include "tests/fakes/FakeEngineSet.h"
#include "tests/fakes/FakeGlobalShortcuts.h"
#include "tests/fakes/FakeMessageBox.h"
#include "tests/fakes/FakeToolbarView.h"

namespace {

// Runs the scheduler on a fake clock whose one-shot timer fires when due.
struct ScheduledWrites {
    std::int64_t now = 1000;
    std::int64_t due = -1;  // when the armed timer fires; -1 while none is armed
    int writes = 0;
    int pending = 0;  // changes not yet written
    SettingsWriteScheduler scheduler{[this] { ++writes, pending = 0; },
                                     [this](int delay) { due = now + delay; },
                                     [this] { return now; }};

    void AdvanceTo(std::int64_t t) {
        while (due >= 0 && due <= t) {
            now = due;
            due = -1;
            scheduler.OnTimer();
        }
        now = t;
    }
    void Change() {
        ++pending;
        scheduler.Changed();
    }
};

TEST(SettingsWrites, AStreamOfChangesIsWrittenAtMostOncePerIntervalAndTheLastOneAlways) {
    ScheduledWrites w;
    for (int i = 0; i < 100; ++i) {
        w.AdvanceTo(1000 + i * 10);
        w.Change();
    }
    w.AdvanceTo(5000);
    EXPECT_LE(w.writes, 5);
    EXPECT_GE(w.writes, 4);
    EXPECT_EQ(w.pending, 0) << "the last change was never written";

    SCOPED_TRACE("a lone change after a quiet spell is written without waiting");
    w.Change();
    EXPECT_EQ(w.due, w.now);

    SCOPED_TRACE("flushing writes at once, and the armed timer then finds nothing new");
    const int before = w.writes;
    w.scheduler.Flush();
    EXPECT_EQ(w.writes, before + 1);
    EXPECT_EQ(w.pending, 0);
}

class ToolbarWrites : public ::testing::Test {
  protected:
    ToolbarWrites() {
        char tmpl[] = "/tmp/selvarine-writes-XXXXXX";
        m_dir = mkdtemp(tmpl);
        g_szAppDir = m_dir + "/bin/";
    }
    ~ToolbarWrites() override { std::filesystem::remove_all(m_dir); }

    std::string File() const { return m_dir + "/Selvarine.reg"; }
    std::string Stored() const {
        std::ifstream in(File());
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string m_dir;
    FakeToolbarView view;
    FakeMessageBox messages;
    FakeEngineSet engines;
};

TEST_F(ToolbarWrites, FirstRunWritesOnceAndTheLastPositionReachesTheFileAtExit) {
    platform::RegFileHive hive(File());
    hive.Load();
    std::int64_t now = 0;
    CBrisoletDlg dlg(view, ToolbarServices{hive, messages, engines, [&] { return now; }});
    hive.DeferWrites([&] { dlg.OnSettingsChanged(); });

    dlg.OnInitDialog();
    EXPECT_FALSE(std::filesystem::exists(File())) << "written before the event loop was free";
    ASSERT_EQ(view.timers.count(kSettingsWriteTimerId), 1u);
    dlg.OnTimer(kSettingsWriteTimerId);
    EXPECT_NE(Stored().find("\"X\"=dword:000000c8"), std::string::npos) << Stored();
    EXPECT_FALSE(hive.WritePending());

    SCOPED_TRACE("moves are in force in memory at once, and written at teardown");
    now = 100;
    dlg.OnMove(300, 250);
    dlg.OnMove(310, -20);
    platform::RegKey key;
    ASSERT_EQ(hive.OpenKey("SOFTWARE\\Tarnholm\\Selvarine", platform::RegAccess::Read, &key),
              platform::kRegOk);
    std::int32_t y = 0;
    std::uint32_t size = 4;
    hive.QueryValue(key, "Y", nullptr, &y, &size);
    EXPECT_EQ(y, -20);
    EXPECT_EQ(Stored().find("\"X\"=dword:00000136"), std::string::npos);
    dlg.OnDestroy();
    EXPECT_NE(Stored().find("\"X\"=dword:00000136"), std::string::npos) << Stored();
    EXPECT_NE(Stored().find("\"Y\"=dword:ffffffec"), std::string::npos) << Stored();
}

// A full disk or a file-size limit (ulimit -f) made writes fail silently, or ended the program
// with SIGXFSZ. Now a write fails with the old file whole; it is told once on stderr, and the
// first change the user made that cannot be kept, once in a message box. Drags tell no box.
TEST_F(ToolbarWrites, AFailedWriteIsToldOnceAndTheOldFileStaysWhole) {
    {
        platform::RegFileHive hive(File());
        hive.Load();
        CBrisoletDlg dlg(view, ToolbarServices{hive, messages, engines});
        dlg.OnInitDialog();
        dlg.OnDestroy();
    }
    const std::string before = Stored();
    ASSERT_GT(before.size(), 200u);

    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        messages.shown.clear();
        const rlimit limit{100, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &limit);
        struct Choose : dialogs::LanguageSelectionDialog {
            int next = engine::kEnglish;
            bool Run(int& language) override { return language = next++, true; }
        } choose;
        std::vector<std::string> lines;
        std::int64_t now = 0;
        platform::RegFileHive hive(File());
        hive.Load();
        CBrisoletDlg dlg(view, ToolbarServices{hive, messages, engines, [&] { return now; },
                                               [&](const std::string& l) { lines.push_back(l); }});
        hive.DeferWrites([&] { dlg.OnSettingsChanged(); });
        dlg.AttachLanguageSelection(choose);
        dlg.OnInitDialog();
        for (int step = 0; step < 10; ++step) {
            dlg.OnMove(300 + step, 200);
            now += SettingsWriteScheduler::kIntervalMs;
            dlg.OnTimer(kSettingsWriteTimerId);
        }
        const std::size_t boxesAfterDrag = messages.shown.size();
        dlg.OnCommand(kIdLanguage);
        dlg.OnCommand(kIdLanguage);
        dlg.OnDestroy();
        std::string report = std::to_string(lines.size()) + " " + std::to_string(boxesAfterDrag) +
                             " " + std::to_string(messages.shown.size()) + "\n";
        for (const std::string& l : lines) report += l + "\n";
        for (const auto& m : messages.shown) report += m.caption + "|" + m.text + "\n";
        (void)!write(pipeFds[1], report.data(), report.size());
        _exit(0);
    }
    close(pipeFds[1]);
    std::string report;
    char buf[512];
    for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;) report.append(buf, n);
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    SCOPED_TRACE(report);
    EXPECT_TRUE(report.starts_with("1 0 1\n")) << "stderr lines, boxes after the drag, boxes";
    EXPECT_NE(report.find("cannot write the settings file " + File() + ": File too large"),
              std::string::npos);
    EXPECT_NE(report.find("selvarine|設定を保存できませんでした。"), std::string::npos);
    EXPECT_EQ(Stored(), before);
    for (const auto& entry : std::filesystem::directory_iterator(m_dir))
        EXPECT_EQ(entry.path().filename().string().find(".tmp."), std::string::npos);
}

// Edits of the file made while the toolbar runs take effect without a restart: a shortcut at
// once (its chords taken again), a voice at the next reading. A look at an unchanged file
// renews nothing.
TEST_F(ToolbarWrites, ValuesEditedInTheFileTakeEffectWhileTheToolbarRuns) {
    platform::RegFileHive hive(File());
    hive.Load();
    CBrisoletDlg dlg(view, ToolbarServices{hive, messages, engines});
    hive.DeferWrites([&] { dlg.OnSettingsChanged(); });
    FakeDesktop desk;
    // The user is in an X11 window, so read-all takes the chord's way and pumps.
    FakeWindowSystem::Window editor;
    editor.id = 7;
    desk.windows.windows.push_back(editor);
    desk.windows.active = 7;
    FakeGlobalShortcuts first, renewed;
    int renewals = 0;
    dlg.AttachReading(desk.Platform());
    dlg.AttachShortcuts(first, {}, [&]() -> platform::GlobalShortcuts& {
        ++renewals;
        return renewed;
    });
    dlg.OnInitDialog();
    dlg.FlushSettings();
    ASSERT_EQ(view.timers.count(kSettingsWatchTimerId), 1u);
    dlg.OnTimer(kSettingsWatchTimerId);
    EXPECT_EQ(renewals, 0);

    std::string text = Stored();
    const std::size_t volume = text.find("\"volume\"=dword:00000064");  // Japanese, the first
    ASSERT_NE(volume, std::string::npos) << text;
    text.replace(volume, 23, "\"volume\"=dword:0000007b");
    text +=
        "\n[HKEY_CURRENT_USER\\SOFTWARE\\Tarnholm\\Selvarine]\n\"ShortcutStop\"=\"Ctrl+Alt+Q\"\n";
    std::ofstream(File() + ".sed") << text;
    std::filesystem::rename(File() + ".sed", File());
    SCOPED_TRACE("not while a shortcut's command pumps events: its set must outlive it");
    int looks = 0;
    desk.pump.onDrain = [&] { looks++ ? void() : dlg.OnTimer(kSettingsWatchTimerId); };
    first.listener(settings::kShortcutReadAll);
    ASSERT_GT(looks, 0);
    EXPECT_EQ(renewals, 0);
    EXPECT_EQ(g_voiceJpn.volume, 123);
    dlg.OnTimer(kSettingsWatchTimerId);
    EXPECT_EQ(renewals, 1);
    EXPECT_EQ(renewed.registered.size(), std::size_t{settings::kShortcutCount});
    EXPECT_EQ(renewed.registered[settings::kShortcutStop],
              (platform::KeyChord{platform::kModControl | platform::kModAlt, U'q'}));
    EXPECT_EQ(g_voiceJpn.volume, 123);
    EXPECT_TRUE(renewed.listener);

    dlg.OnTimer(kSettingsWatchTimerId);
    EXPECT_EQ(renewals, 1);
    dlg.OnDestroy();
}

// 2,000 random shortcut presses made 664 writes: each speed step wrote the file at once. A run
// of steps (速く/遅く, their shortcuts) is now spaced out as a drag is, the last value kept.
TEST_F(ToolbarWrites, SpeedStepsAreSpacedOutLikeADragAndTheLastOneReachesTheFileAtExit) {
    platform::RegFileHive hive(File());
    hive.Load();
    std::int64_t now = 0;
    CBrisoletDlg dlg(view, ToolbarServices{hive, messages, engines, [&] { return now; }});
    hive.DeferWrites([&] { dlg.OnSettingsChanged(); });
    FakeDesktop desk;
    FakeGlobalShortcuts shortcuts;
    dlg.AttachReading(desk.Platform());
    dlg.AttachShortcuts(shortcuts, {});
    dlg.OnInitDialog();
    dlg.FlushSettings();
    g_speedMin = 50, g_speedMax = 400;
    auto storedSpeed = [&] {
        const std::string text = Stored();
        const std::size_t at = text.find("\\Japanese]");
        const std::size_t speed = text.find("\"speed\"=dword:", at);
        return at == std::string::npos || speed == std::string::npos
                   ? -1
                   : std::stoi(text.substr(speed + 14, 8), nullptr, 16);
    };
    ASSERT_EQ(storedSpeed(), 100) << Stored();

    now = 1000;
    for (int i = 0; i < 5; ++i) shortcuts.listener(settings::kShortcutFaster);
    dlg.OnCommand(kIdSlower);
    EXPECT_EQ(g_voiceJpn.speed, 140);
    EXPECT_EQ(storedSpeed(), 100) << "written at a step";
    ASSERT_EQ(view.timers.count(kSettingsWriteTimerId), 1u);
    dlg.OnTimer(kSettingsWriteTimerId);
    EXPECT_EQ(storedSpeed(), 140);

    now = 1100;
    shortcuts.listener(settings::kShortcutFaster);
    EXPECT_EQ(view.timers[kSettingsWriteTimerId], 150) << "sooner than 250 ms after the last";
    dlg.OnDestroy();
    EXPECT_EQ(storedSpeed(), 150);
    EXPECT_TRUE(messages.shown.empty());
}

// 言語を自動判別 in the menu: on by default, its choice written at once and kept over a
// restart; the reading takes it, with every language's voice, at the next selection.
TEST_F(ToolbarWrites, AutoLanguageFromTheMenuReachesTheReadingAndIsKept) {
    platform::RegFileHive hive(File());
    hive.Load();
    CBrisoletDlg dlg(view, ToolbarServices{hive, messages, engines});
    FakeDesktop desk;
    FakeGlobalShortcuts shortcuts;
    dlg.AttachReading(desk.Platform());
    dlg.AttachShortcuts(shortcuts, {});
    dlg.OnInitDialog();
    auto readSelection = [&] {
        engines.calls.clear();
        shortcuts.listener(settings::kShortcutReadSelection);
        return engines.calls.empty() ? FakeEngineSet::Call{} : engines.calls.back();
    };
    auto autoLanguageRow = [&] {
        dlg.OnContextMenu(0, 0, true);
        for (const MenuEntry& entry : view.menu)
            if (entry.id == kIdAutoLanguage) return entry;
        return MenuEntry{};
    };

    EXPECT_EQ(autoLanguageRow().text, "言語を自動判別");
    EXPECT_TRUE(autoLanguageRow().checkable);
    EXPECT_TRUE(autoLanguageRow().checked) << "on by default";
    g_voiceKor = {40, 150, 90};
    desk.selection.text = u"ソウルで안녕";
    const FakeEngineSet::Call mixed = readSelection();
    EXPECT_EQ(mixed.op + " " + std::to_string(mixed.language), "PlayUtf8 7");
    ASSERT_EQ(mixed.prosody.size(), 4u);
    EXPECT_EQ(mixed.prosody[3].volume, 40);
    EXPECT_EQ(mixed.prosody[3].speed, 150);
    EXPECT_EQ(mixed.prosody[3].pitch, 90);

    view.menuChoice = kIdAutoLanguage;
    dlg.OnContextMenu(0, 0, true);
    view.menuChoice = 0;
    EXPECT_FALSE(autoLanguageRow().checked);
    EXPECT_NE(Stored().find("\"AutoLanguage\"=dword:00000000"), std::string::npos) << Stored();
    EXPECT_EQ(readSelection().op, "Play") << "switched off: the code page path";
    dlg.OnDestroy();

    platform::RegFileHive again(File());
    again.Load();
    CBrisoletDlg restarted(view, ToolbarServices{again, messages, engines});
    restarted.LoadSettings();
    EXPECT_FALSE(restarted.IsMenuItemChecked(kIdAutoLanguage)) << "not kept over a restart";
    g_bAutoLanguage = 1;
}

// The sentence pause and URL choices: radio items, 標準 and ドメインだけ until chosen, each
// choice written at once; a value out of range in the file counts as the default.
TEST_F(ToolbarWrites, ReadingChoicesFromTheMenuAreRadioItemsAndKept) {
    platform::RegFileHive hive(File());
    hive.Load();
    CBrisoletDlg dlg(view, ToolbarServices{hive, messages, engines});
    dlg.OnInitDialog();
    auto checkedOf = [&](int group) {
        dlg.OnContextMenu(0, 0, true);
        std::vector<std::string> checked;
        for (const MenuEntry& entry : view.menu)
            if (entry.group == group && entry.checkable && entry.checked)
                checked.push_back(entry.text);
        return checked;
    };
    const int pauses = static_cast<int>(settings::ReadingChoice::SentencePause) + 1;
    const int links = static_cast<int>(settings::ReadingChoice::Links) + 1;
    EXPECT_EQ(checkedOf(pauses), std::vector<std::string>{"文の間: 標準"});
    EXPECT_EQ(checkedOf(links), std::vector<std::string>{"URL: ドメインだけ"});
    // Each row: the item chosen, its group, what the group then shows checked, the file's
    // line, and the option every engine is told before the next reading.
    const std::tuple<int, int, const char*, const char*, settings::EngineOptions::value_type>
        rows[] = {
            {kIdPauseShort, pauses, "文の間: 短く", "\"SentencePause\"=dword:00000000",
             {"sentence-pause", "short"}},
            {kIdPauseLong, pauses, "文の間: 長く", "\"SentencePause\"=dword:00000002",
             {"sentence-pause", "long"}},
            {kIdLinksAll, links, "URL: 全部読む", "\"LinkReading\"=dword:00000000",
             {"links", "all"}},
            {kIdLinksNone, links, "URL: 読まない", "\"LinkReading\"=dword:00000002",
             {"links", "none"}},
        };
    for (const auto& [id, group, shown, stored, option] : rows) {
        SCOPED_TRACE(shown);
        view.menuChoice = id;
        dlg.OnContextMenu(0, 0, true);
        view.menuChoice = 0;
        EXPECT_EQ(checkedOf(group), std::vector<std::string>{shown});
        EXPECT_NE(Stored().find(stored), std::string::npos) << Stored();
        for (int language = engine::kJapanese; language <= engine::kKorean; ++language) {
            const settings::EngineOptions told = settings::EngineOptionsFor(hive, language);
            EXPECT_NE(std::find(told.begin(), told.end(), option), told.end()) << language;
        }
    }
    dlg.OnDestroy();

    platform::RegFileHive again(File());
    again.Load();
    CBrisoletDlg restarted(view, ToolbarServices{again, messages, engines});
    restarted.LoadSettings();
    EXPECT_TRUE(restarted.IsMenuItemChecked(kIdPauseLong)) << "not kept over a restart";
    settings::SaveReadingChoice(again, settings::ReadingChoice::SentencePause, 1);
    platform::RegKey top = platform::kNoKey;
    ASSERT_EQ(again.OpenKey(settings::kTopKey, platform::RegAccess::Write, &top), platform::kRegOk);
    platform::SetDword(again, top, "LinkReading", 7);
    again.CloseKey(top);
    restarted.LoadSettings();
    EXPECT_TRUE(restarted.IsMenuItemChecked(kIdPauseNormal));
    EXPECT_TRUE(restarted.IsMenuItemChecked(kIdLinksDomain)) << "7 is no choice";
}

}  // namespace
