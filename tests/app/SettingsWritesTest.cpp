#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/CBrisoletDlg.h"
#include "app/CommandIds.h"
#include "app/Globals.h"
#include "app/SettingsWriteScheduler.h"
#include "platform/posix/RegFileHive.h"
#include "tests/fakes/FakeEngineSet.h"
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

}  // namespace
