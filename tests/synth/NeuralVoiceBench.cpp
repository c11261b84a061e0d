// Figures for a neural voice: model load, first audio of a 30-character sentence, real-time
// factor, stop latency and the helper's resident memory. With no argument it measures the
// tiny generated model; with a folder, that voice. Prints figures, asserts nothing.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "TinyVitsModel.h"
#include "synth/backend/sherpa/NeuralVoice.h"

using namespace synth;
using Clock = std::chrono::steady_clock;

static double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

static long residentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : "";
    std::string sentence = argc > 2 ? argv[2] : "Hello world. Hello world hello.";  // 30 characters
    char tmpl[] = "/tmp/neural-voice-bench-XXXXXX";
    if (folder.empty()) {
        folder = ::mkdtemp(tmpl);
        tiny_vits::write(folder);
    }
    NeuralSetup setup = defaultNeuralSetup();
    setup.helper = SYNTH_PROGRAM_DIR "/selvarine-neural-voice";
    const Cancelled never = [] { return false; };
    std::string why;

    const auto opened = Clock::now();
    auto voice = openNeuralVoice(folder, setup, &why);
    const auto returned = Clock::now();
    if (!voice || !voice->waitReady(never, &why)) {
        std::fprintf(stderr, "cannot open %s: %s\n", folder.c_str(), why.c_str());
        return 1;
    }
    std::printf("open returns          %8.2f ms (the model loads in the helper)\n",
                ms(returned - opened));
    std::printf("model loaded          %8.2f ms\n", ms(Clock::now() - opened));

    for (int round = 0; round < 3; ++round) {
        std::size_t samples = 0;
        Clock::time_point first{};
        const auto start = Clock::now();
        voice->speak(
            sentence, {},
            [&](const int16_t*, std::size_t n) {
                if (samples == 0) first = Clock::now();
                samples += n;
            },
            never);
        const auto end = Clock::now();
        const double seconds = static_cast<double>(samples) / voice->sampleRate();
        std::printf("round %d: first audio %8.2f ms, %.2f s of audio in %.2f ms, RTF %.4f\n", round,
                    ms(first - start), seconds, ms(end - start),
                    seconds > 0 ? ms(end - start) / 1000.0 / seconds : 0.0);
    }

    std::string longer;
    for (int i = 0; i < 40; ++i) longer += sentence + " ";
    Clock::time_point asked{};
    const auto stopAfterFirst = [&] {
        if (asked == Clock::time_point{}) return false;
        return true;
    };
    voice->speak(
        longer, {},
        [&](const int16_t*, std::size_t) {
            if (asked == Clock::time_point{}) asked = Clock::now();
        },
        stopAfterFirst);
    std::printf("stop                  %8.2f ms after it was asked\n", ms(Clock::now() - asked));
    std::printf("helper resident       %8ld kB\n", residentKb(voice->helperPid()));
    if (folder == tmpl) std::filesystem::remove_all(folder);
    return 0;
}
