// Speed figures of saving speech to a file, printed, never asserted (scripts/bench-save):
// for each voice, seconds of audio written per second of wall-clock time, per format; and
// resident memory while a megabyte of text is being saved (to the end with "full").

#include <sndfile.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/synth/EngineLibrary.h"

namespace fs = std::filesystem;
using namespace synthtest;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

struct Voice {
    const LanguageInfo* lang;
    const char* name;
    const char* encoding;
    const char* sentence;
};
const Voice kVoices[] = {
    {&kJapanese, "Japanese (Open JTalk)", "CP932",
     "今日は東京で{}回目の会議がありました。明日は大阪へ{}人で行く予定です。"},
    {&kEnglish, "English (flite)", "CP1252",
     "The engine reads this sentence aloud, again and again. "},
    {&kChinese, "Chinese (espeak-ng)", "CP936", "今天天气很好，我们去公园散步吧。"},
    {&kKorean, "Korean (espeak-ng)", "CP949", "안녕하세요. 오늘은 날씨가 좋습니다. "},
};
const struct {
    int format;
    const char* name;
    const char* extension;
} kFormats[] = {{VT_SAVE_WAV, "WAV", ".wav"},
                {VT_SAVE_FLAC, "FLAC", ".flac"},
                {VT_SAVE_OGG_VORBIS, "Ogg Vorbis", ".ogg"},
                {VT_SAVE_MP3, "MP3", ".mp3"}};

short finish(EngineLibrary& engine) {
    short status = VT_SAVE_RUNNING;
    while ((status = engine.saveStatus(nullptr)) == VT_SAVE_RUNNING)
        std::this_thread::sleep_for(5ms);
    return status;
}

double seconds(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return -1;
    sf_close(f);
    return static_cast<double>(info.frames) / info.samplerate;
}

// CPU seconds of this process and its finished children (the Open JTalk runs): the figure
// that does not depend on what else the machine is doing.
double cpuSeconds() {
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage u{};
        getrusage(who, &u);
        total +=
            u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

long peakResidentKiB() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.starts_with("VmHWM:")) return std::stol(line.substr(6));
    return -1;
}

// The save's temporary file is hidden beside its target, so the folder is measured.
long folderKiB(const fs::path& dir) {
    long bytes = 0;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file()) bytes += static_cast<long>(entry.file_size());
    return bytes / 1024;
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::atoi(argv[1]) : 20;
    const fs::path dir =
        fs::temp_directory_path() / ("selvarine-save-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    setenv("SELVARINE_AUDIO", "null", 1);
    std::printf(
        "Saving speech: audio written per second of wall-clock time (%d sentences a voice)\n",
        repeats);
    std::printf("%-24s %-11s %8s %8s %8s %11s %10s\n", "voice", "format", "audio s", "wall s",
                "CPU s", "x real time", "(by CPU)");
    for (const Voice& v : kVoices) {
        EngineLibrary engine(SYNTH_MODULE_DIR, *v.lang);
        if (engine.loadFrom(engine.engineDir(SYNTH_PROGRAM_DIR)) != 0) {
            std::printf("%-24s does not load\n", v.name);
            continue;
        }
        std::string utf8;
        for (int k = 1; k <= repeats; ++k) utf8 += numbered(v.sentence, k);
        const std::string text = encode(utf8, v.encoding);
        for (const auto& f : kFormats) {
            const std::string path = (dir / (std::string(v.lang->suffix) + f.extension)).string();
            const auto start = Clock::now();
            const double cpuStart = cpuSeconds();
            short status = engine.save(text.c_str(), 100, 100, 100, path.c_str(), f.format);
            if (status == VT_SAVE_RUNNING) status = finish(engine);
            const double wall = std::chrono::duration<double>(Clock::now() - start).count();
            const double cpu = cpuSeconds() - cpuStart;
            const double audio = status == VT_SAVE_DONE ? seconds(path) : -1;
            std::printf("%-24s %-11s %8.1f %8.2f %8.2f %10.1fx %9.1fx%s\n", v.name, f.name, audio,
                        wall, cpu, audio / wall, audio / cpu,
                        status == VT_SAVE_DONE ? "" : "  (failed)");
            std::fflush(stdout);
        }
        engine.unload(v.lang->speaker);
    }

    // A megabyte of English text: memory stays flat while it streams to the file.
    {
        EngineLibrary engine(SYNTH_MODULE_DIR, kEnglish);
        engine.loadFrom(engine.engineDir(SYNTH_PROGRAM_DIR));
        std::string text;
        while (text.size() < (1u << 20)) text += kVoices[1].sentence;
        const fs::path own = dir / "megabyte";
        fs::create_directories(own);
        const std::string path = (own / "megabyte.flac").string();
        const long before = residentKiB();
        engine.save(text.c_str(), 100, 100, 100, path.c_str(), VT_SAVE_FLAC);
        std::printf("\n1 MB of English text to FLAC: resident memory (KiB) and progress\n");
        // With "full", to the end: how long the whole megabyte takes and the peak memory.
        const bool full = argc > 2 && std::string(argv[2]) == "full";
        const auto start = Clock::now();
        for (int s = 0; s <= 30 || (full && engine.saveStatus(nullptr) == VT_SAVE_RUNNING);
             s += 10) {
            int permille = 0;
            engine.saveStatus(&permille);
            if (s > 30 && s % 120 != 0) {
                std::this_thread::sleep_for(10s);
                continue;
            }
            std::printf("  after %2d s: %7ld KiB (%+ld), %5.1f%% of the text, written %ld KiB\n", s,
                        residentKiB(), residentKiB() - before, permille / 10.0, folderKiB(own));
            std::this_thread::sleep_for(10s);
        }
        if (full) {
            const short status = engine.saveStatus(nullptr);
            const double wall = std::chrono::duration<double>(Clock::now() - start).count();
            const double audio = seconds(path);
            std::printf(
                "  %s after %.0f s: %.0f s of audio (%.1fx real time), %ld KiB; peak "
                "resident memory %ld KiB\n",
                status == VT_SAVE_DONE ? "done" : "FAILED", wall, audio, audio / wall,
                fileSize(path) / 1024, peakResidentKiB());
        }
        engine.stop();
    }
    fs::remove_all(dir);
    return 0;
}
