// Clipboard arrival to the play call, on a private Xvfb: another program (xclip) takes the
// clipboard; we time its ownership notice reaching the watch, and the reading controller's
// work from that notice to the engine's play call. The capture timer's wait (0 to 50 ms,
// 25 ms on average) is left out and reported apart; so is the engine's own start of sound.
// Prints figures; passes or fails nothing.

#include <QCoreApplication>
#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "engine/EngineSet.h"
#include "platform/qt/QtPump.h"
#include "platform/x11/X11Clipboard.h"
#include "reading/CaptureFlags.h"
#include "reading/ReadingController.h"
#include "tests/fakes/FakeMessageBox.h"
#include "tests/fakes/FakeToolbarView.h"
#include "tests/support/PrivateDisplay.h"

namespace {

using Clock = std::chrono::steady_clock;

class TimingEngineSet : public engine::EngineSet {
  public:
    short Load(int, std::intptr_t, int, const char*) override { return 0; }
    void Unload(int, int) override {}
    void GetInfo(int, int, int*) override {}
    short LoadUserDict(int, const char*) override { return 1; }
    void UnloadUserDict(int) override {}
    void Play(int, std::intptr_t, const char* text, int, int, int, int, int) override {
        played = Clock::now();
        bytes = std::strlen(text);
    }
    void PlayUtf8(int language, std::intptr_t window, const char* utf8, int,
                  const VtVoiceProsody*) override {
        Play(language, window, utf8, 0, 0, 0, 0, 0);
    }
    void Stop(int) override {}
    void Pause(int) override {}
    void Restart(int) override {}
    bool Position(int, engine::HeardPosition*) override { return false; }
    bool PlayFrom(int, int) override { return false; }
    void SetSpeed(int, int) override {}
    short SaveToFile(int, const char*, int, int, int, const char*, int) override {
        return VT_SAVE_UNAVAILABLE;
    }
    short SaveStatus(int, int*) override { return VT_SAVE_UNAVAILABLE; }
    Clock::time_point played;
    std::size_t bytes = 0;
};

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void Report(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::printf("%-52s median %7.2f ms   min %7.2f   max %7.2f   (%zu rounds)\n", what,
                v[v.size() / 2], v.front(), v.back(), v.size());
}

}  // namespace

int main(int argc, char** argv) {
    const pid_t xvfb = testsupport::StartPrivateXvfb();
    if (!xvfb) {
        std::fprintf(stderr, "cannot start Xvfb\n");
        return 1;
    }
    int status = 0;
    {
        QGuiApplication app(argc, argv);
        platform::X11Clipboard clipboard;
        Clock::time_point noticed;
        clipboard.SetChangeListener([&] {
            noticed = Clock::now();
            reading::NoteClipboardChange();
        });
        FakeToolbarView view;
        FakeMessageBox messages;
        TimingEngineSet engines;
        platform::QtPump pump;
        int captureTimer = 0, paused = 0;
        reading::ReadingController controller(
            view, clipboard, engines, messages, pump,
            [] {
                return reading::ReadingSettings{7, 100, 100, 100, 0};
            },
            captureTimer, paused);

        const std::string path = "/tmp/selvarine-arrival-" + std::to_string(getpid());
        std::vector<double> toNotice, toPlay;
        for (const std::size_t size : {100u, 100'000u}) {
            std::string text;
            while (text.size() < size) text += "日本語の文章を読み上げます。";
            std::ofstream(path) << text;
            toNotice.clear();
            toPlay.clear();
            for (int round = 0; round < 20; ++round) {
                g_bCaptureArmed = 1;
                g_bClipboardChanged = 0;
                view.timers[1] = 50;
                const Clock::time_point copied = Clock::now();
                const pid_t xclip = testsupport::Spawn({"xclip", "-selection", "clipboard",
                                                        "-quiet", "-t", "UTF8_STRING", "-i", path});
                while (g_bClipboardChanged != 1 && Clock::now() - copied < std::chrono::seconds(5))
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
                if (g_bClipboardChanged != 1) {
                    std::fprintf(stderr, "round %d: no clipboard notice\n", round);
                    status = 1;
                    testsupport::End(xclip);
                    continue;
                }
                controller.OnCaptureTimer(1);  // as if the tick came at once
                toNotice.push_back(Ms(noticed - copied));
                toPlay.push_back(Ms(engines.played - noticed));
                testsupport::End(xclip);
            }
            std::printf("clipboard text of %zu bytes (UTF-8), %zu bytes to the engine:\n",
                        text.size(), engines.bytes);
            if (!toNotice.empty()) {
                Report("  xclip started -> ownership notice (incl. exec)", toNotice);
                Report("  notice -> play call (fetch, convert, empty)", toPlay);
            }
        }
        std::printf("capture timer wait after the notice: 0 to 50 ms, 25 ms on average\n");
        std::remove(path.c_str());
    }
    testsupport::End(xvfb);
    return status;
}
