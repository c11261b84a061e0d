// Speed figures of the engine libraries, printed, never asserted. Run by scripts/bench-synth,
// which supplies a PulseAudio daemon (SELVARINE_AUDIO unset) or a file/null sink.
//
// Figures: play call return time for 1 MB; play to first audio handed to the sink for 10
// characters and 100 KB (side by side with the espeak-ng command line's first audio); synthesis
// real-time factor per language; the silence between sentences per language, in the audio
// handed to the sink and, with BENCH_RECORD=1 and a sound server, as heard in a recording of
// it; pause, resume and stop call times and, with the recording, when they take effect;
// resident memory with four engines.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "platform/Utf8.h"
#include "synth/text/ScriptRuns.h"
#include "tests/synth/EngineLibrary.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace synthtest;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Stats {
    std::vector<double> values;
    void add(double v) { values.push_back(v); }
    double median() {
        std::sort(values.begin(), values.end());
        return values.empty() ? 0 : values[values.size() / 2];
    }
    double max() { return values.empty() ? 0 : *std::max_element(values.begin(), values.end()); }
};

const std::string kEnglishSentence = "The engine reads this sentence aloud, again and again. ";

std::string englishText(std::size_t bytes) {
    std::string text;
    while (text.size() < bytes) text += kEnglishSentence;
    text.resize(bytes);
    return text;
}

// Milliseconds from spawning `espeak-ng --stdout` to the first audio bytes after its header.
double cliFirstAudioMs(const std::string& voice, const std::string& textFile) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    const char* argv[] = {"espeak-ng",      "-v",   voice.c_str(), "--stdout", "-f",
                          textFile.c_str(), nullptr};
    pid_t pid;
    const auto start = Clock::now();
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char**>(argv), environ) != 0)
        return -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    char buf[4096];
    std::size_t total = 0;
    double first = -1;
    while (true) {
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0) break;
        total += static_cast<std::size_t>(n);
        if (total > 44) {
            first = ms(Clock::now() - start);
            break;
        }
    }
    kill(pid, SIGKILL);
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    return first;
}

// Play to first audio handed to the sink, in ms (median of `rounds`).
double ourFirstAudioMs(EngineLibrary& engine, CoreProbe& core, const std::string& text,
                       int rounds) {
    Stats stats;
    for (int i = 0; i < rounds; ++i) {
        engine.stop();
        core.waitIdle(10000);
        std::this_thread::sleep_for(20ms);
        engine.play(text);
        const auto deadline = Clock::now() + 5s;
        int64_t ns = -1;
        while ((ns = core.firstAudioNs(engine.language().number)) < 0 && Clock::now() < deadline) {
        }
        if (ns >= 0) stats.add(ns / 1e6);
    }
    engine.stop();
    core.waitIdle(10000);
    return stats.median();
}

// Four sentences without commas a language, so that the longest silences are the ones
// between sentences.
const std::pair<const char*, const char*> kGapTexts[] = {
    {"今日は良い天気です。午後は友達と映画を見ます。夜は家で本を読みます。明日は早く起きます。",
     "CP932"},
    {"The sun is bright today. We walk to the old park. Then we eat lunch by the lake. "
     "Tomorrow we stay at home.",
     "CP1252"},
    {"今天天气很好。我们去公园散步。然后一起吃晚饭。明天我们在家休息。", "CP936"},
    {"오늘은 날씨가 좋습니다. 우리는 공원에 갑니다. 그리고 점심을 먹습니다. 내일은 집에서 쉽니다.",
     "CP949"}};
constexpr int kGapSentences = 4;

// The silences between the sentences of audio that holds `sentences` of them: the
// sentences - 1 longest quiet stretches (10 ms windows) between its first and last sound, in
// ms, in the order they occur.
std::vector<double> sentenceGapsMs(const Pcm& pcm, int sentences) {
    const std::size_t w = static_cast<std::size_t>(pcm.rate / 100);
    std::vector<double> rms;
    for (std::size_t i = 0; w > 0 && i + w <= pcm.samples.size(); i += w) {
        double sum = 0;
        for (std::size_t k = i; k < i + w; ++k) sum += double(pcm.samples[k]) * pcm.samples[k];
        rms.push_back(std::sqrt(sum / w));
    }
    if (rms.empty()) return {};
    std::vector<double> sorted = rms;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() * 95 / 100, sorted.end());
    const double threshold = std::max(100.0, 0.05 * sorted[sorted.size() * 95 / 100]);
    std::vector<std::pair<double, std::size_t>> quiet;  // length, position
    std::ptrdiff_t lastLoud = -1;
    for (std::size_t k = 0; k < rms.size(); ++k) {
        if (rms[k] < threshold) continue;
        const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(k);
        if (lastLoud >= 0 && at - lastLoud > 1) quiet.push_back({(at - lastLoud - 1) * 10.0, k});
        lastLoud = at;
    }
    std::sort(quiet.begin(), quiet.end(), std::greater<>());
    quiet.resize(std::min<std::size_t>(quiet.size(), static_cast<std::size_t>(sentences - 1)));
    std::sort(quiet.begin(), quiet.end(), [](auto& a, auto& b) { return a.second < b.second; });
    std::vector<double> gaps;
    for (const auto& q : quiet) gaps.push_back(q.first);
    return gaps;
}

// Seconds before the first 5 ms window with sound in it.
double leadingSilence(const Pcm& pcm) {
    const std::size_t w = static_cast<std::size_t>(pcm.rate / 200);
    for (std::size_t i = 0; w > 0 && i + w <= pcm.samples.size(); i += w) {
        double sum = 0;
        for (std::size_t k = i; k < i + w; ++k) sum += double(pcm.samples[k]) * pcm.samples[k];
        if (std::sqrt(sum / w) >= 200) return static_cast<double>(i) / pcm.rate;
    }
    return 0;
}

std::string gapList(const std::vector<double>& gaps) {
    std::string text;
    for (double g : gaps) text += (text.empty() ? "" : ", ") + std::to_string(std::lround(g));
    return text.empty() ? "none found" : text + " ms";
}

pid_t spawnTo(const std::vector<std::string>& argv, const std::string& out) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

}  // namespace

int main() {
    const fs::path dir = fs::temp_directory_path() / ("synth-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const char* audioEnv = std::getenv("SELVARINE_AUDIO");
    const std::string audio = audioEnv ? audioEnv : "pulse";
    std::printf("audio sink: %s\n", audio.c_str());
    {
        // Other work on the machine delays the worker's wake-up by up to a time slice.
        std::ifstream load("/proc/loadavg");
        std::string avg;
        std::getline(load, avg);
        std::printf("load average: %s (%u cores)\n", avg.c_str(),
                    std::thread::hardware_concurrency());
    }

    const long rssBefore = residentKiB();
    std::vector<std::unique_ptr<EngineLibrary>> engines;
    for (const LanguageInfo* lang : kLanguages) {
        engines.push_back(std::make_unique<EngineLibrary>(SYNTH_MODULE_DIR, *lang));
        const auto t = Clock::now();
        const short status = engines.back()->loadFrom(engines.back()->engineDir(SYNTH_PROGRAM_DIR));
        std::printf("load %s: status %d in %.1f ms\n", lang->suffix, status, ms(Clock::now() - t));
    }
    CoreProbe core(SYNTH_CORE_PATH);
    std::this_thread::sleep_for(200ms);
    std::printf(
        "resident memory: %.1f MB before loading, %.1f MB with four engines loaded (idle)\n",
        rssBefore / 1024.0, residentKiB() / 1024.0);
    EngineLibrary& english = *engines[1];

    {
        const std::string text = englishText(1 << 20);
        Stats stats;
        for (int i = 0; i < 20; ++i) {
            english.stop();
            const auto t = Clock::now();
            english.play(text);
            stats.add(ms(Clock::now() - t) * 1000);
        }
        english.stop();
        core.waitIdle(10000);
        std::printf("play call return, 1 MB text: median %.0f us, max %.0f us (budget 1000 us)\n",
                    stats.median(), stats.max());
    }

    std::printf(
        "\nplay to first audio handed to the sink (median of 15), against the espeak-ng "
        "command line to its first audio (whole process, median of 5):\n");
    // 100 KB against its first sentence alone: what the size of the text costs.
    for (std::size_t size : {std::size_t{10}, kEnglishSentence.size(), std::size_t{100 * 1024}}) {
        const std::string text = englishText(size);
        const std::string file = (dir / "text.txt").string();
        std::ofstream(file) << text;
        const double ours = ourFirstAudioMs(english, core, text, 15);
        Stats cli;
        for (int i = 0; i < 5; ++i) cli.add(cliFirstAudioMs("en-us", file));
        const double theirs = cli.median();
        std::printf(
            "  English %7zu bytes: ours %.2f ms, espeak-ng %.2f ms, ratio %.3f (budget 10 ms)\n",
            size, ours, theirs, ours / theirs);
    }
    const std::pair<const char*, const char*> tenChars[] = {{"日本語を話します。", "CP932"},
                                                            {"Hello you.", "CP1252"},
                                                            {"我们说中文。你好", "CP936"},
                                                            {"한국어를 합니다.", "CP949"}};
    for (std::size_t i = 0; i < 4; ++i) {
        const std::string text = encode(tenChars[i].first, tenChars[i].second);
        // Another voice spoke last, so this includes switching the synthesiser's voice.
        engines[(i + 1) % 4]->play(
            encode(tenChars[(i + 1) % 4].first, tenChars[(i + 1) % 4].second));
        core.waitIdle(10000);
        engines[(i + 1) % 4]->stop();
        Stats first;
        first.add(ourFirstAudioMs(*engines[i], core, text, 1));
        const double same = ourFirstAudioMs(*engines[i], core, text, 9);
        std::printf("  %s short sentence: %.2f ms after another voice, %.2f ms same voice\n",
                    kLanguages[i]->suffix, first.median(), same);
    }
    {
        // Japanese budgets: a 30-character sentence, and any text however long (1 MB, or
        // one clause of 10,000 characters without punctuation).
        const std::string sentence =
            "東京の天気は雨のち曇りで、明日の最高気温は二十五度の予想です。";
        std::string megabyte, clause;
        while (megabyte.size() < 1024 * 1024) megabyte += encode(sentence, "CP932");
        while (clause.size() < 20000)
            clause += encode("今日は天気が良いので公園を散歩します", "CP932");
        const std::pair<const char*, const std::string*> texts[] = {
            {"30-character sentence", nullptr},
            {"1 MB text", &megabyte},
            {"10,000-character clause", &clause}};
        const std::string thirty = encode(sentence, "CP932");
        for (const auto& [name, text] : texts)
            std::printf("  JPN %s: %.2f ms\n", name,
                        ourFirstAudioMs(*engines[0], core, text ? *text : thirty, 7));
    }

    {
        // The dictionary editor asks for these on a thread of its own; a row's replacement
        // is a word, and it sends at most 200 characters.
        void* handle = dlopen(SYNTH_CORE_PATH, RTLD_NOW | RTLD_NOLOAD);
        auto reading = reinterpret_cast<int (*)(int, const char*, char*, int)>(
            handle ? dlsym(handle, "selvarine_synth_reading") : nullptr);
        if (handle) dlclose(handle);
        const std::pair<const char*, const char*> words[] = {
            {"東京都", "今日は良い天気です。東京で友達と会って、映画を見ました。"},
            {"weather", "The quick brown fox jumps over the lazy dog, and keeps running. "},
            {"天气", "今天天气很好，我们去公园散步，然后一起吃晚饭。"},
            {"날씨", "오늘은 날씨가 좋습니다. 우리는 공원에서 산책을 했습니다."}};
        std::printf("\nreading export (median of 5): a word; 200 characters\n");
        static char out[1 << 16];
        for (std::size_t i = 0; reading && i < 4; ++i) {
            std::u32string text;
            const std::u32string sample = utf8::ToUtf32(words[i].second);
            while (text.size() < 200) text += sample;
            text.resize(200);
            const std::string long200 = utf8::FromUtf32(text);
            Stats word, longer;
            int bytes[2] = {};
            for (int k = 0; k < 5; ++k) {
                auto t = Clock::now();
                bytes[0] = reading(kLanguages[i]->number, words[i].first, out, sizeof out);
                word.add(ms(Clock::now() - t));
                t = Clock::now();
                bytes[1] = reading(kLanguages[i]->number, long200.c_str(), out, sizeof out);
                longer.add(ms(Clock::now() - t));
            }
            std::printf("  %s: %.2f ms (%d bytes); %.2f ms (%d bytes)\n", kLanguages[i]->suffix,
                        word.median(), bytes[0], longer.median(), bytes[1]);
        }
    }

    std::printf("\nsynthesis real-time factor (synthesis time / audio time, WAV sink):\n");
    std::vector<double> gapAudioSeconds(4, 0);
    std::vector<std::string> gapsHanded(4);
    double englishLead = 0;  // seconds of silence the voice starts its audio with
    {
        const std::string wav = (dir / "rtf.wav").string();
        setenv("SELVARINE_AUDIO", ("wav:" + wav).c_str(), 1);
        const std::pair<const char*, const char*> samples[] = {
            {"今日は{}回目の良い天気です。東京で{}人の友達と会って、映画を{}本見ました。", "CP932"},
            {"The quick brown fox jumps over the lazy dog, and keeps running into the woods. ",
             "CP1252"},
            {"今天天气很好，我们去公园散步，然后一起吃晚饭。", "CP936"},
            {"오늘은 날씨가 좋습니다. 우리는 공원에서 산책을 했습니다.", "CP949"}};
        for (std::size_t i = 0; i < 4; ++i) {
            EngineLibrary& engine = *engines[i];
            engine.loadFrom(engine.engineDir(SYNTH_PROGRAM_DIR));
            std::string text;
            for (int k = 1; text.size() < 3000; ++k) text += numbered(samples[i].first, k);
            const std::string encoded = encode(text, samples[i].second);
            const auto t = Clock::now();
            engine.play(encoded);
            core.waitIdle(120000);
            const double wall = ms(Clock::now() - t) / 1000;
            const double seconds = readWav(wav).seconds();
            std::printf("  %s: %.1f s of audio in %.3f s, real-time factor %.4f\n",
                        kLanguages[i]->suffix, seconds, wall, wall / seconds);
            engine.play(encode(kGapTexts[i].first, kGapTexts[i].second));
            core.waitIdle(60000);
            const Pcm gapPcm = readWav(wav);
            gapAudioSeconds[i] = gapPcm.seconds();
            gapsHanded[i] = gapList(sentenceGapsMs(gapPcm, kGapSentences));
            if (&engine == &english) {
                engine.play(englishText(200));
                core.waitIdle(60000);
                englishLead = leadingSilence(readWav(wav));
            }
        }
        if (audioEnv)
            setenv("SELVARINE_AUDIO", audioEnv, 1);
        else
            unsetenv("SELVARINE_AUDIO");
        english.loadFrom(english.engineDir(SYNTH_PROGRAM_DIR));
    }

    std::printf(
        "\ngap between sentences (silence from one sentence's end to the next one's "
        "start, %d sentences):\n",
        kGapSentences);
    const bool record = std::getenv("BENCH_RECORD") && audio == "pulse";
    for (std::size_t i = 0; i < 4; ++i) {
        std::string heard = "(no recording: BENCH_RECORD=1 with a sound server)";
        if (record) {
            // Through the sound server, recorded from its monitor: what a listener hears,
            // including any wait for the next sentence's synthesis.
            EngineLibrary& engine = *engines[i];
            engine.loadFrom(engine.engineDir(SYNTH_PROGRAM_DIR));
            const std::string raw = (dir / "gap.raw").string();
            pid_t parec = spawnTo({"parec", "-d", "rec.monitor", "--latency-msec=10",
                                   "--format=s16le", "--rate=22050", "--channels=1"},
                                  raw);
            std::this_thread::sleep_for(1s);
            engine.play(encode(kGapTexts[i].first, kGapTexts[i].second));
            core.waitIdle(60000);
            std::this_thread::sleep_for(
                std::chrono::milliseconds(static_cast<int>(gapAudioSeconds[i] * 1000) + 1500));
            kill(parec, SIGTERM);
            waitpid(parec, nullptr, 0);
            heard = gapList(sentenceGapsMs(readRaw(raw, 22050), kGapSentences));
        }
        std::printf("  %s: in the audio handed to the sink %s; heard %s\n", kLanguages[i]->suffix,
                    gapsHanded[i].c_str(), heard.c_str());
    }

    std::printf("\nmixed text (VT_PLAYTTS_UTF8_x):\n");
    {
        // The split: 100 KB that changes script every few characters.
        const char* pieces[] = {"ソウルの", "明洞で", "안녕하세요", "Hello ",
                                "你好。",   "3개",    "、"};
        std::string text;
        for (std::size_t k = 0; text.size() < 100 * 1024; ++k)
            text += pieces[k % std::size(pieces)];
        Stats split;
        std::size_t runs = 0;
        for (int i = 0; i < 50; ++i) {
            const auto t = Clock::now();
            runs = synth::splitScriptRuns(text, engine::kJapanese).size();
            split.add(ms(Clock::now() - t));
        }
        std::printf("  split of 100 KB into %zu runs: median %.3f ms, max %.3f ms (budget 1 ms)\n",
                    runs, split.median(), split.max());

        // The silence where one run hands over to the next: how much later its first audio
        // reached the sink than the audio before it had played out in real time. Only a
        // sound server's sink paces the synthesis as playback does; file and null sinks take
        // audio as fast as it comes, so the figure means something with PulseAudio alone.
        for (auto& engine : engines) engine->loadFrom(engine->engineDir(SYNTH_PROGRAM_DIR));
        const std::array<VtVoiceProsody, 4> prosody{
            {{100, 100, 100}, {100, 100, 100}, {100, 100, 100}, {100, 100, 100}}};
        const std::pair<EngineLibrary*, std::string> readings[] = {
            {engines[0].get(),
             "ソウルの明洞で안녕하세요と言われた。それはiPhoneです。Thank you. 再见。"},
            {engines[3].get(), "韓國語는 어렵다. I like it. 東京タワーは高い。"},
            {engines[2].get(), "我买了iPhone。ひらがなは難しい。안녕하세요."}};
        for (const auto& [engine, mixed] : readings) {
            Stats gap, first;
            for (int i = 0; i < 5; ++i) {
                engine->stop();
                core.waitIdle(10000);
                engine->playMixed(mixed, prosody);
                core.waitIdle(60000);
                gap.add(core.runLateNs(engine->language().number) / 1e6);
                first.add(core.firstAudioNs(engine->language().number) / 1e6);
            }
            // Negative: the next run's first audio came while that much was still queued.
            const double worst = gap.max();
            std::printf(
                "  %s chosen (%s sink): silence between runs of different voices %.1f ms at "
                "worst (budget 80 ms; closest handover %+.1f ms, median %+.1f ms); first "
                "audio %.1f ms\n",
                engine->language().suffix, audio.c_str(), std::max(0.0, worst), worst, gap.median(),
                first.median());
        }
    }

    std::printf(
        "\nnext sentence while reading (5 jumps per language, each 300 ms into a sentence):\n"
        "  call return; first audio of the new sentence handed to the sink; the sink's playback\n"
        "  position in the new sentence (budget: audio within 100 ms)\n");
    {
        const char* texts[] = {
            "今日は良い天気です。明日は雨が降るでしょう。週末は晴れるそうです。来週は寒くなります。"
            "その次はまた暖かくなります。これが最後の文です。",
            "The sun is out today. Tomorrow it will rain. The weekend should be fine. Next week "
            "turns cold. Then it gets warm again. This is the last sentence.",
            "今天天气很好。明天会下雨。周末应该是晴天。下周会变冷。然后又会变暖。这是最后一句。",
            "오늘은 날씨가 좋습니다. 내일은 비가 옵니다. 주말은 맑겠습니다. 다음 주는 춥습니다. "
            "그다음에는 다시 따뜻해집니다. 이것이 마지막 문장입니다.",
        };
        const char* encodings[] = {"CP932", "CP1252", "CP936", "CP949"};
        for (std::size_t i = 0; i < 4; ++i) {
            EngineLibrary& e = *engines[i];
            const int number = kLanguages[i]->number;
            const std::string text = encode(texts[i], encodings[i]);
            Stats call, synth, heard, lag, cost;
            e.loadFrom(e.engineDir(SYNTH_PROGRAM_DIR));  // the sink in force, not the WAV one
            e.play(text);
            VtPosition pos{};
            auto waitFor = [&](auto done) {
                const auto deadline = Clock::now() + 10s;
                while (Clock::now() < deadline) {
                    if (e.getPosition(&pos, nullptr, 0) == 1 && done()) return true;
                    std::this_thread::sleep_for(500us);
                }
                return false;
            };
            const char* missed = nullptr;
            for (int k = 0; k < 5 && !missed; ++k) {
                if (!waitFor([&] { return pos.heardMs >= 300; })) {
                    missed = "no sentence heard for 300 ms";
                    break;
                }
                const int target = pos.sentenceEnd;
                const auto t = Clock::now();
                if (e.playFrom(target) != 1) break;
                call.add(ms(Clock::now() - t) * 1000);
                while (core.firstAudioNs(number) < 0 && Clock::now() - t < 5s)
                    std::this_thread::sleep_for(200us);
                synth.add(core.firstAudioNs(number) / 1e6);
                if (!waitFor([&] { return pos.sentenceStart >= target && pos.heardMs > 0; })) {
                    missed = "the new sentence was never heard";
                    break;
                }
                heard.add(ms(Clock::now() - t));
            }
            if (missed) std::printf("  %s: %s\n", kLanguages[i]->suffix, missed);
            // The caption asks every 25 ms: how late it sees a change of the sentence or word
            // heard that a 1 ms poll sees, and what one ask costs.
            e.stop();
            e.play(text);
            int last = -2, shown = -2;
            Clock::time_point seen{}, nextAsk = Clock::now();
            const auto end = Clock::now() + 6s;
            while (Clock::now() < end) {
                const auto a = Clock::now();
                // A sentence or a word of it: what the highlight follows.
                const int on = e.getPosition(&pos, nullptr, 0) == 1
                                   ? pos.sentenceStart * 1000 + pos.wordStart + 1
                                   : -1;
                cost.add(ms(Clock::now() - a) * 1000);
                if (on != last) last = on, seen = Clock::now();
                if (Clock::now() >= nextAsk) {
                    if (last != shown && shown != -2) lag.add(ms(Clock::now() - seen));
                    shown = last;
                    nextAsk += 25ms;
                }
                std::this_thread::sleep_for(1ms);
            }
            e.stop();
            std::printf(
                "  %s: call %.0f us; first audio %.1f ms (max %.1f); heard %.1f ms (max "
                "%.1f)\n",
                kLanguages[i]->suffix, call.median(), synth.median(), synth.max(), heard.median(),
                heard.max());
            std::printf(
                "       caption: a sentence or word shown %.1f ms after the sink's position "
                "reached it (max %.1f, %zu changes); one ask %.0f us\n",
                lag.median(), lag.max(), lag.values.size(), cost.median());
        }
        core.waitIdle(10000);
    }

    std::printf("\npause, resume and stop (call return, median of 50 while speaking):\n");
    {
        const std::string text = englishText(20000);
        Stats pause, resume, stop, stopToIdle;
        for (int i = 0; i < 50; ++i) {
            english.stop();
            english.play(text);
            while (core.firstAudioNs(engine::kEnglish) < 0) {
            }
            auto t = Clock::now();
            english.pause();
            pause.add(ms(Clock::now() - t) * 1000);
            t = Clock::now();
            english.restart();
            resume.add(ms(Clock::now() - t) * 1000);
            t = Clock::now();
            english.stop();
            stop.add(ms(Clock::now() - t) * 1000);
            core.waitIdle(10000);
            stopToIdle.add(ms(Clock::now() - t) * 1000);
        }
        std::printf(
            "  pause %.0f us, resume %.0f us, stop %.0f us; stop until synthesis has "
            "ended %.0f us (max %.0f us)\n",
            pause.median(), resume.median(), stop.median(), stopToIdle.median(), stopToIdle.max());
    }

    if (record) {
        // Relative timings on a recording of the sound server's monitor: each effect minus
        // the start delay, so the unknown recording offset cancels out.
        const std::string raw = (dir / "rec.raw").string();
        pid_t parec = spawnTo({"parec", "-d", "rec.monitor", "--latency-msec=10", "--format=s16le",
                               "--rate=22050", "--channels=1"},
                              raw);
        std::this_thread::sleep_for(3s);
        const auto t0 = Clock::now();
        english.stop();
        english.play(englishText(4000));
        std::this_thread::sleep_until(t0 + 1500ms);
        const auto tPause = Clock::now();
        english.pause();
        std::this_thread::sleep_until(t0 + 2500ms);
        const auto tResume = Clock::now();
        english.restart();
        std::this_thread::sleep_until(t0 + 4000ms);
        const auto tStop = Clock::now();
        english.stop();
        std::this_thread::sleep_until(t0 + 7000ms);
        kill(parec, SIGTERM);
        waitpid(parec, nullptr, 0);
        const Pcm pcm = readRaw(raw, 22050);
        // 5 ms windows; pauses between words are shorter than the 300 ms held by the pause.
        const std::size_t w = 22050 / 200;
        std::vector<double> loud;
        for (std::size_t i = 0; i + w <= pcm.samples.size(); i += w) {
            double sum = 0;
            for (std::size_t k = i; k < i + w; ++k) sum += double(pcm.samples[k]) * pcm.samples[k];
            if (std::sqrt(sum / w) >= 200) loud.push_back(double(i) / 22050);
        }
        if (loud.size() > 2) {
            // The first sound comes after the voice's own leading silence, not with the audio.
            const double start = loud.front() - englishLead;
            double gapFrom = -1, gapTo = -1;
            for (std::size_t k = 1; k < loud.size(); ++k)
                if (loud[k] - loud[k - 1] > 0.6) {
                    gapFrom = loud[k - 1] + 0.005;
                    gapTo = loud[k];
                    break;
                }
            const double rel = [&](Clock::time_point t) { return ms(t - t0) / 1000; }(tPause);
            std::printf(
                "\nrecorded (relative to the start delay, the voice's %.0f ms of leading silence "
                "taken out): pause took effect %+.0f ms, resume %+.0f ms, stop %+.0f ms after "
                "the call\n",
                englishLead * 1000, (gapFrom - start - rel) * 1000,
                (gapTo - start - ms(tResume - t0) / 1000) * 1000,
                (loud.back() + 0.005 - start - ms(tStop - t0) / 1000) * 1000);
        }
    }

    for (auto& engine : engines) engine->unload(0);
    fs::remove_all(dir);
    return 0;
}
