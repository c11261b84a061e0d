// Saving over what is already at the target: the replacement keeps the file's permissions, a
// file we may not write is replaced only when asked, and a target that cannot be replaced is
// refused before any audio is made.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/EngineApi.h"
#include "synth/audio/SoundFileSink.h"

namespace fs = std::filesystem;

namespace {

std::string contentOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

mode_t modeOf(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// One short save to path; the status it ends with, or why it could not start.
short save(const fs::path& path, int format = VT_SAVE_WAV) {
    short status = VT_SAVE_WRITE_FAILED;
    auto sink = synth::SoundFileSink::create(path.string(), format, 16000, &status);
    if (!sink) return status;
    const std::atomic<uint64_t> current{1};
    sink->begin(1, current);
    const int16_t samples[160] = {1, 2, 3};
    sink->write(1, samples, 160);
    sink->end(1);
    return sink->progress()->status;
}

TEST(SoundFileSink, ReplacesATargetOnlyAsFarAsItMay) {
    const fs::path dir = fs::temp_directory_path() / ("sink-target-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const auto old = [&](const char* name, mode_t mode) {
        const fs::path p = dir / name;
        std::ofstream(p) << "old";
        ::chmod(p.c_str(), mode);
        return p;
    };
    {
        SCOPED_TRACE("a private file stays private");
        const fs::path p = old("private.wav", 0600);
        EXPECT_EQ(save(p), VT_SAVE_DONE);
        EXPECT_EQ(modeOf(p), 0600u);
        EXPECT_NE(contentOf(p), "old");
    }
    {
        SCOPED_TRACE("a read-only file: refused, then replaced when asked, still read-only");
        const fs::path p = old("readonly.wav", 0444);
        EXPECT_EQ(save(p), VT_SAVE_READ_ONLY);
        EXPECT_EQ(contentOf(p), "old");
        EXPECT_EQ(save(p, VT_SAVE_WAV | VT_SAVE_REPLACE_READ_ONLY), VT_SAVE_DONE);
        EXPECT_EQ(modeOf(p), 0444u);
        EXPECT_NE(contentOf(p), "old");
    }
    {
        SCOPED_TRACE("targets the rename would refuse, refused at once");
        fs::create_directories(dir / "folder.wav");
        EXPECT_EQ(save(dir / "folder.wav"), VT_SAVE_CANNOT_CREATE);
        EXPECT_EQ(save(dir / (std::string(252, 'n') + ".wav")), VT_SAVE_CANNOT_CREATE);
    }
    if (::geteuid() == 0) {
        SCOPED_TRACE("another user's file in a sticky folder");
        const fs::path sticky = dir / "sticky";
        fs::create_directories(sticky);
        ::chmod(sticky.c_str(), 01777);
        const fs::path p = sticky / "theirs.wav";
        std::ofstream(p) << "old";
        ::chmod(p.c_str(), 0666);
        const pid_t child = ::fork();
        if (child == 0) {
            const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
            _exit(dropped ? save(p) : 100);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), VT_SAVE_CANNOT_CREATE);
        EXPECT_EQ(contentOf(p), "old");
    }
    EXPECT_EQ(fs::directory_iterator(dir / "folder.wav"), fs::directory_iterator())
        << "nothing left in a refused target";
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().filename().string().rfind(".selvarine-save", 0), std::string::npos)
            << "no temporary file left: " << entry.path();
    fs::remove_all(dir);
}

}  // namespace
