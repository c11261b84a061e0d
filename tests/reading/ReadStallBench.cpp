// The UI thread's stall when a long selection is read: the reading controller's work from the
// captured text to the engine's play call (the engines here only count the bytes; the real
// ones copy the text and return). Korean in every case the code page 932 cannot hold, mixed
// text, and Japanese for comparison. Prints figures; passes or fails nothing.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/EngineSet.h"
#include "reading/ReadingController.h"
#include "tests/fakes/FakeClipboard.h"
#include "tests/fakes/FakeMessageBox.h"
#include "tests/fakes/FakePump.h"
#include "tests/fakes/FakeToolbarView.h"

namespace {

using Clock = std::chrono::steady_clock;

class CountingEngineSet : public engine::EngineSet {
  public:
    short Load(int, std::intptr_t, int, const char*) override { return 0; }
    void Unload(int, int) override {}
    void GetInfo(int, int, int*) override {}
    short LoadUserDict(int, const char*) override { return 1; }
    void UnloadUserDict(int) override {}
    void Play(int, std::intptr_t, const char* text, int, int, int, int, int) override {
        bytes = std::strlen(text);
    }
    void PlayUtf8(int, std::intptr_t, const char* utf8, int, const VtVoiceProsody*) override {
        bytes = std::strlen(utf8);
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
    std::size_t bytes = 0;
};

std::u16string Repeat(const std::u16string& piece, std::size_t utf8Bytes, std::size_t pieceUtf8) {
    std::u16string text;
    for (std::size_t n = 0; n < utf8Bytes; n += pieceUtf8) text += piece;
    return text;
}

}  // namespace

int main() {
    // 3 MB of UTF-8 each.
    const std::size_t kBytes = 3u << 20;
    const std::u16string korean = Repeat(u"안녕하세요 감사합니다. ", kBytes, 33);
    const std::u16string japanese = Repeat(u"日本語の文章を読み上げます。", kBytes, 42);
    const std::u16string mixed = Repeat(u"日本語と한국어와 English 中文。", kBytes, 41);
    struct Case {
        const char* name;
        const std::u16string* text;
        int language, autoLanguage;
    } cases[] = {
        {"3 MB Korean, Japanese chosen", &korean, 7, 1},
        {"3 MB Korean, Korean chosen", &korean, 10, 1},
        {"3 MB Korean, Korean chosen, one language", &korean, 10, 0},
        {"3 MB mixed, Japanese chosen", &mixed, 7, 1},
        {"3 MB Japanese, Japanese chosen", &japanese, 7, 1},
    };
    FakeToolbarView view;
    FakeClipboard clipboard;
    FakeMessageBox messages;
    FakePump pump;
    CountingEngineSet engines;
    int captureTimer = 0, paused = 0;
    for (const Case& c : cases) {
        reading::ReadingSettings settings;
        settings.language = c.language;
        settings.volume = settings.speed = settings.pitch = 100;
        settings.autoLanguage = c.autoLanguage;
        reading::ReadingController controller(
            view, clipboard, engines, messages, pump, [&] { return settings; }, captureTimer,
            paused);
        std::vector<double> ms;
        for (int round = 0; round < 3; ++round) {
            const Clock::time_point start = Clock::now();
            controller.SpeakText(*c.text);
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        std::sort(ms.begin(), ms.end());
        std::printf("%-44s UI thread stall: median %8.1f ms  max %8.1f ms  (%zu bytes played)\n",
                    c.name, ms[1], ms[2], engines.bytes);
    }
    return 0;
}
