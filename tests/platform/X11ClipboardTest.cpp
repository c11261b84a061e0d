// The clipboard watch, the clipboard itself and the key injector on a real X server: the test
// program starts its own Xvfb (-displayfd) and uses xclip as "another program".

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QRasterWindow>

#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

#include "platform/qt/QtPump.h"
#include "platform/x11/X11Clipboard.h"
#include "platform/x11/X11KeyInjector.h"
#include "reading/CaptureFlags.h"
#include "reading/ReadingController.h"
#include "tests/fakes/FakeEngineSet.h"
#include "tests/fakes/FakeMessageBox.h"
#include "tests/fakes/FakePump.h"
#include "tests/fakes/FakeToolbarView.h"
#include "tests/support/PrivateDisplay.h"

namespace {

using testsupport::End;
using testsupport::Spawn;

// Dispatches Qt events until done() or the time is up.
bool PumpUntil(const std::function<bool()>& done, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (done && done()) return true;
    }
    return done && done();
}

std::string TempFile(const std::string& name, const std::string& content) {
    const std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                             "/selvarine-x11test-" + std::to_string(getpid()) + "-" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

// Another program takes the clipboard with the given content and serves it until it loses it.
pid_t OtherProgramCopies(const std::string& content, const std::string& type = "UTF8_STRING") {
    const std::string path = TempFile("clip", content);
    return Spawn({"xclip", "-selection", "clipboard", "-quiet", "-t", type, "-i", path});
}

// The reading controller on the real clipboard, Japanese chosen, its capture timer running.
template <typename Pump>
struct CaptureRig {
    explicit CaptureRig(platform::Clipboard& clipboard)
        : controller(view, clipboard, engines, messages, pump,
                     [] { return reading::ReadingSettings{7, 100, 100, 100, 0}; }, captureTimer,
                     paused) {
        view.timers[1] = 50;
    }
    FakeToolbarView view;
    FakeEngineSet engines;
    FakeMessageBox messages;
    Pump pump;
    int captureTimer = 1, paused = 0;
    reading::ReadingController controller;
};

class X11Clipboard : public ::testing::Test {
  protected:
    void SetUp() override {
        g_bCaptureArmed = 0;
        g_bClipboardChanged = 0;
        ASSERT_TRUE(clipboard.Watching());
        clipboard.SetChangeListener(reading::NoteClipboardChange);
    }
    void TearDown() override {
        for (pid_t pid : spawned) End(pid);
    }
    pid_t Copy(const std::string& content, const std::string& type = "UTF8_STRING") {
        const pid_t pid = OtherProgramCopies(content, type);
        spawned.push_back(pid);
        return pid;
    }

    platform::X11Clipboard clipboard;
    std::vector<pid_t> spawned;
};

// X11 reports our own emptying after the watch is armed. The watch must not take it for the
// copied text: if it did, g_bClipboardChanged would be 1 right after arming. The naive count
// shows that the late notice really arrives, so the check is not vacuous.
TEST_F(X11Clipboard, OwnEmptyingNeverCountsButTheNextCopyDoes) {
    int naiveNoticesAfterArming = 0;
    QObject context;
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::changed, &context,
                     [&](QClipboard::Mode mode) {
                         if (mode == QClipboard::Clipboard && g_bCaptureArmed == 1)
                             ++naiveNoticesAfterArming;
                     });
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        Copy("before " + std::to_string(round));
        ASSERT_TRUE(PumpUntil([&] { return clipboard.HasUnicodeText(); }, 3000));
        PumpUntil(nullptr, 20);

        // The read command's steps 2 to 5.
        ASSERT_TRUE(clipboard.Open());
        ASSERT_TRUE(clipboard.Empty());
        clipboard.Close();
        g_bCaptureArmed = 1;
        g_bClipboardChanged = 0;

        PumpUntil(nullptr, 100);
        EXPECT_EQ(g_bClipboardChanged, 0);
        EXPECT_EQ(g_bCaptureArmed, 1);
        EXPECT_FALSE(clipboard.HasUnicodeText());

        const std::string copied = "copied " + std::to_string(round) + " 日本語";
        Copy(copied);
        EXPECT_TRUE(PumpUntil([] { return g_bClipboardChanged == 1; }, 3000));
        EXPECT_EQ(g_bCaptureArmed, 0);
        ASSERT_TRUE(clipboard.Open());
        const auto text = clipboard.UnicodeText();
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(QString::fromStdU16String(*text).toStdString(), copied);
        clipboard.Empty();
        clipboard.Close();
        EXPECT_FALSE(clipboard.HasUnicodeText());
        g_bCaptureArmed = 0;
    }
    EXPECT_GT(naiveNoticesAfterArming, 0);
}

TEST_F(X11Clipboard, BitmapOnlyHasNoText) {
    Copy(std::string("\x89PNG\r\n\x1a\n", 8) + std::string(64, '\0'), "image/png");
    g_bCaptureArmed = 1;
    ASSERT_TRUE(PumpUntil([] { return g_bClipboardChanged == 1; }, 3000));
    EXPECT_FALSE(clipboard.HasUnicodeText());
    ASSERT_TRUE(clipboard.Open());
    EXPECT_FALSE(clipboard.UnicodeText().has_value());
    clipboard.Close();
}

TEST_F(X11Clipboard, TenMegabytesAreReadWithBoundedMemory) {
    std::string big;
    big.reserve(10 << 20);
    while (big.size() < (10u << 20)) big += "日本語のテキストを読み上げる。Plain ASCII words too. ";
    Copy(big);
    g_bCaptureArmed = 1;
    ASSERT_TRUE(PumpUntil([] { return g_bClipboardChanged == 1; }, 5000));

    CaptureRig<platform::QtPump> rig(clipboard);
    FakeEngineSet& engines = rig.engines;
    FakeMessageBox& messages = rig.messages;
    reading::ReadingController& controller = rig.controller;
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    controller.OnCaptureTimer(1);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);

    ASSERT_EQ(engines.calls.size(), 2u);
    const std::string& spoken = engines.calls[1].text;
    EXPECT_GT(spoken.size(), 7u << 20);  // code page 932 is more compact than UTF-8 for kana
    EXPECT_EQ(spoken.substr(0, 6), "\x93\xFA\x96\x7B\x8C\xEA");
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(clipboard.HasUnicodeText());
    const long growthMb = (after.ru_maxrss - before.ru_maxrss) / 1024;
    std::printf("peak resident growth for a 10 MB text: %ld MB\n", growthMb);
    EXPECT_LT(growthMb, 200);
}

// An owner that takes the clipboard and never answers a request (stopped). Before, each of the 12
// requests of a capture waited 5 s, freezing the toolbar for a minute; the capture's own
// waits are all it may take (on a fake clock here, so only the clipboard's waits are real).
TEST_F(X11Clipboard, AnOwnerThatNeverAnswersCostsOneShortWait) {
    g_bCaptureArmed = 1;
    const pid_t owner = Copy("never handed over");
    ASSERT_TRUE(PumpUntil([] { return g_bClipboardChanged == 1; }, 3000));
    kill(owner, SIGSTOP);

    CaptureRig<FakePump> rig(clipboard);
    FakeEngineSet& engines = rig.engines;
    FakeMessageBox& messages = rig.messages;
    reading::ReadingController& controller = rig.controller;
    FakePump& pump = rig.pump;
    const auto start = std::chrono::steady_clock::now();
    controller.OnCaptureTimer(1);
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - start)
                           .count();
    std::printf("capture with a silent owner: %lld ms besides its own waits\n",
                static_cast<long long>(spent));
    EXPECT_LT(spent, 3000);
    // Its 11 waits of 500 ms, however they are sliced to keep the toolbar responsive.
    EXPECT_EQ(std::accumulate(pump.sleeps.begin(), pump.sleeps.end(), 0), 11 * 500);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(engines.calls.empty());
    kill(owner, SIGCONT);
}

// A browser's copy of a page with ruby: its plain text has each reading inline after its base
// (門もん前ぜん); the HTML it offers beside it is read instead, so the Japanese voice is
// handed each reading once, and nothing twice.
TEST_F(X11Clipboard, RubyIsTakenFromTheHtmlOfferedBesideTheText) {
    g_bCaptureArmed = 1;
    spawned.push_back(
        Spawn({"/proc/self/exe", "--copy-html", TempFile("plain", "門もん前ぜん払ばらい"),
               TempFile("html",
                        "<meta charset='utf-8'><ruby>門<rt>もん</rt>前"
                        "<rt>ぜん</rt>払<rt>ばら</rt></ruby>い")}));
    ASSERT_TRUE(PumpUntil([] { return g_bClipboardChanged == 1; }, 5000));

    CaptureRig<platform::QtPump> rig(clipboard);
    FakeEngineSet& engines = rig.engines;
    FakeMessageBox& messages = rig.messages;
    reading::ReadingController& controller = rig.controller;
    ASSERT_TRUE(PumpUntil(
        [&] {
            controller.OnCaptureTimer(1);
            return !engines.calls.empty() || !messages.shown.empty();
        },
        5000));
    ASSERT_EQ(engines.calls.size(), 2u);
    std::string expected = "｜門《もん》｜前《ぜん》｜払《ばら》い", cp932(64, '\0');
    iconv_t cd = iconv_open("CP932", "UTF-8");
    char* in = expected.data();
    char* out = cp932.data();
    std::size_t inLeft = expected.size(), outLeft = cp932.size();
    ASSERT_NE(iconv(cd, &in, &inLeft, &out, &outLeft), static_cast<std::size_t>(-1));
    iconv_close(cd);
    cp932.resize(cp932.size() - outLeft);
    EXPECT_EQ(engines.calls[1].text, cp932);
}

class KeyWindow : public QRasterWindow {
  public:
    std::vector<std::pair<int, bool>> keys;  // key, Control held
  protected:
    void keyPressEvent(QKeyEvent* e) override {
        keys.emplace_back(e->key(), e->modifiers().testFlag(Qt::ControlModifier));
    }
};

TEST(X11KeyInjector, SendsLeftControlChordsToTheFocusWindow) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    platform::X11KeyInjector keys(x11->display());
    KeyWindow window;
    window.resize(100, 100);
    window.show();
    window.requestActivate();
    ASSERT_TRUE(PumpUntil([&] { return window.isActive(); }, 3000));
    EXPECT_TRUE(keys.SendControlChord('a'));
    EXPECT_TRUE(keys.SendControlChord('c'));
    EXPECT_FALSE(keys.SendControlChord('!'));
    PumpUntil([&] { return window.keys.size() >= 4; }, 2000);
    const std::vector<std::pair<int, bool>> expected = {
        {Qt::Key_Control, true}, {Qt::Key_A, true}, {Qt::Key_Control, true}, {Qt::Key_C, true}};
    EXPECT_EQ(window.keys, expected);
}

}  // namespace

// --copy-html PLAIN HTML: another program that copies text with HTML beside it, as browsers
// do, and serves it until it loses the clipboard.
int CopyHtml(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    auto read = [](const char* path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    auto* data = new QMimeData;
    data->setText(QString::fromStdString(read(argv[2])));
    data->setHtml(QString::fromStdString(read(argv[3])));
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(data, QClipboard::Clipboard);
    QObject::connect(clipboard, &QClipboard::changed, [&](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard()) app.quit();
    });
    return app.exec();
}

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--copy-html") return CopyHtml(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const pid_t xvfb = testsupport::StartPrivateXvfb();
    if (!xvfb) {
        std::fprintf(stderr, "cannot start Xvfb; skipping\n");
        return 77;
    }
    int result = 1;
    {
        QGuiApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    End(xvfb);
    for (const char* name : {"clip", "plain", "html"}) std::remove(TempFile(name, "").c_str());
    return result;
}
