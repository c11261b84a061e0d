// The natural voice's program misbehaving: a clause it stalls on, floods or leaves a child
// behind for must fail on its own, quickly, and leave nothing running; and a voice file far
// larger than any real one is refused before it is read.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "synth/backend/OpenJTalkVoice.h"
#include "synth/backend/Sha256.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/synth-voice-program-XXXXXX";
        if (mkdtemp(pattern)) m_path = pattern;
    }
    ~TempDir() { fs::remove_all(m_path); }
    const fs::path& path() const { return m_path; }

  private:
    fs::path m_path;
};

// True while `pid` runs (a zombie waiting for its parent counts as gone). A process killed
// a moment ago may take a little while to die.
bool running(pid_t pid) {
    for (int tries = 0; tries < 200; ++tries) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        if (!std::getline(stat, line)) return false;
        const auto paren = line.rfind(')');
        if (paren == std::string::npos || paren + 2 >= line.size() || line[paren + 2] == 'Z')
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

TEST(VoiceProgram, AClauseTheProgramStallsFloodsOrForksOnFailsAloneAndLeavesNothingRunning) {
    // The program's canonical WAV header: 24 kHz mono, 16 bits.
    const std::string header =
        R"(printf 'RIFF\044\0\0\0WAVEfmt \020\0\0\0\001\0\001\0\300\135\0\0\200\273\0\0\002\0\020\0data\0\0\0\0')";
    const std::string audio = "head -c 9600 /dev/urandom";  // 0.2 s of noise, loud enough
    struct Row {
        const char* name;
        std::string body;
        synth::SpeakResult expected;
    } rows[] = {
        {"speaks", header + "; " + audio, synth::SpeakResult::Done},
        {"stops", header + "; kill -STOP $$", synth::SpeakResult::Failed},
        {"hangs in a child", header + "; sleep 1000 & echo $! >>\"$PIDS\"; wait",
         synth::SpeakResult::Failed},
        {"floods its audio", header + "; head -c 100000000 /dev/zero | tr '\\0' '\\177'",
         synth::SpeakResult::Failed},
        {"floods its trace", header + "; " + audio + "; head -c 100000000 /dev/zero >&3",
         synth::SpeakResult::Failed},
        // The child holds the program's output open, as a helper it starts would.
        {"leaves a child", "sleep 1000 & echo $! >>\"$PIDS\"; " + header + "; " + audio,
         synth::SpeakResult::Done},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string program = (dir.path() / "open_jtalk").string();
        const std::string pids = (dir.path() / "pids").string();
        std::ofstream(program) << "#!/bin/sh\nPIDS='" << pids << "'\necho $$ >>\"$PIDS\"\n"
                               << "cat >/dev/null\n"
                               << row.body << "\n";
        fs::permissions(program, fs::perms::owner_all);

        synth::OpenJTalkVoice voice({program, "/no/dictionary", "/no/voice.htsvoice"});
        std::size_t samples = 0;
        const auto start = std::chrono::steady_clock::now();
        const synth::SpeakResult result = voice.speak(
            "雨", {}, [&](const int16_t*, std::size_t n) { samples += n; }, [] { return false; });
        const auto took = std::chrono::steady_clock::now() - start;
        voice.rest();
        EXPECT_EQ(result, row.expected);
        EXPECT_LE(samples, 24000u * 3) << "no more than the clause can hold";
        std::printf("[ figures  ] %s: %.2f s, %zu samples\n", row.name,
                    std::chrono::duration<double>(took).count(), samples);

        std::ifstream in(pids);
        pid_t pid = 0;
        int count = 0;
        while (in >> pid) {
            ++count;
            EXPECT_FALSE(running(pid)) << "process " << pid << " outlived the clause";
        }
        EXPECT_GE(count, 1) << "the program ran";
    }
}

TEST(VoiceProgram, AVoiceFileLargerThanAnyRealOneIsRefusedBeforeItIsRead) {
    TempDir dir;
    const fs::path huge = dir.path() / "huge.htsvoice", small = dir.path() / "abc.htsvoice";
    {
        std::ofstream(huge).close();
        fs::resize_file(huge, 4ull << 30);  // sparse: costs no disk
        std::ofstream(small) << "abc";
    }
    std::string why;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(synth::sha256OfFile(huge.string(), &why));
    std::printf("[ figures  ] 4 GB voice file refused in %.3f s\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    EXPECT_NE(why.find("MB"), std::string::npos) << why;
    EXPECT_EQ(synth::sha256OfFile(small.string()),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_FALSE(synth::sha256OfFile((dir.path() / "missing").string(), &why));
    EXPECT_NE(why.find("cannot read"), std::string::npos) << why;
}

}  // namespace
