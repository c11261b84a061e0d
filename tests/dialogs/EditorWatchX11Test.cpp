// The editor watch with real processes and windows: the stand-in editor on a private Xvfb,
// found by the process id its window declares.
#include <signal.h>
#include <sys/stat.h>

#include "platform/posix/PosixProcessLauncher.h"
#include "platform/x11/X11WindowSystem.h"
#include "tests/dialogs/DialogFixture.h"
#include "tests/support/PrivateDisplay.h"

#include <X11/Xlib.h>

namespace {

class EditorWatchX11Test : public DialogFixture {
  protected:
    static void SetUpTestSuite() { s_xvfb = testsupport::StartPrivateXvfb(); }
    static void TearDownTestSuite() { testsupport::End(s_xvfb); }
    static pid_t s_xvfb;

    // Runs the watch timer until done() holds or 20 s have passed.
    template <class Done>
    bool TickUntil(dialogs::VoiceSettingsDialog& dlg, Done done) {
        for (int i = 0; i < 400 && !done(); ++i) {
            usleep(50000);
            dlg.OnTimer(dialogs::kEditorWatchTimer);
        }
        return done();
    }
};
pid_t EditorWatchX11Test::s_xvfb = 0;

TEST_F(EditorWatchX11Test, FindsTheEditorsWindowAndWakesWhenItEnds) {
    if (!s_xvfb) GTEST_SKIP() << "no Xvfb";
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    platform::X11WindowSystem windows(display);
    platform::PosixProcessLauncher processes;

    const std::string folder = m_appDir + "VW/VT/Miyu/M16/bin";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(SELVARINE_STANDIN_EDITOR, folder + "/UserDicJpn");
    const std::string log = m_dir + "/standin.log";
    setenv("SELVARINE_STANDIN_LOG", log.c_str(), 1);
    const std::string dic = m_dir + "/my \"dic\" $(x) & 'y';.csv";

    dialogs::VoiceDialogServices services{
        m_engines, m_hive, m_messages, processes, windows, m_appDir, settings::VoiceInForceFor, {}};
    dialogs::MODE_J dlg(services);
    dlg.SetView(&m_view);
    dlg.m_userDicPath = dic;
    dlg.OnInitDialog();
    dlg.OnEditUserDic();
    ASSERT_TRUE(m_messages.shown.empty());
    EXPECT_FALSE(m_view.enabled);

    ASSERT_TRUE(TickUntil(dlg, [&] { return dlg.EditorWindow() != platform::kNoWindow; }));
    const long pid = windows.WindowPid(dlg.EditorWindow());
    ASSERT_GT(pid, 0);
    EXPECT_EQ(windows.Title(dlg.EditorWindow()), std::filesystem::path(dic).filename().string());
    std::ifstream in(log);
    std::string arg, cwd;
    std::getline(in, arg);
    std::getline(in, cwd);
    EXPECT_EQ(arg, dic);
    EXPECT_EQ(cwd, folder);
    EXPECT_FALSE(m_view.enabled);

    kill(static_cast<pid_t>(pid), SIGTERM);
    ASSERT_TRUE(TickUntil(dlg, [&] { return m_view.enabled; }));
    EXPECT_EQ(m_view.broughtToFront, 1);
    EXPECT_TRUE(m_view.timers.empty());
    XCloseDisplay(display);
}

}  // namespace
