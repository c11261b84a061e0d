#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "engine/EngineStartup.h"
#include "engine/LibraryEngineSet.h"

namespace fs = std::filesystem;

TEST(LibraryEngineSet, AMissingLibraryOrEntryPointLeavesOnlyThatLanguageOut) {
    char tmpl[] = "/tmp/selvarine-engines-XXXXXX";
    const std::string dir = std::string(mkdtemp(tmpl)) + "/";
    fs::copy_file(PARTIAL_ENGINE, dir + "vt_jpn.so");
    fs::copy_file(std::string(PROGRAM_DIR) + "/vt_kor.so", dir + "vt_kor.so");
    fs::copy_file(std::string(PROGRAM_DIR) + "/libselvarine_synth.so", dir + "libselvarine_synth.so");

    engine::LibraryEngineSet engines(dir);
    EXPECT_FALSE(engines.Available(engine::kJapanese));
    EXPECT_NE(engines.Problem(engine::kJapanese).find("VT_UNLOADTTS_EXT_JPN"), std::string::npos)
        << engines.Problem(engine::kJapanese);
    EXPECT_FALSE(engines.Available(engine::kEnglish));
    EXPECT_NE(engines.Problem(engine::kEnglish).find("vt_eng.so"), std::string::npos);
    EXPECT_TRUE(engines.Available(engine::kKorean));

    // Calls for an unavailable language do nothing, and say so where they can.
    int value = 42;
    engines.GetInfo(engine::kJapanese, VT_INFO_VOLUME_MAX, &value);
    EXPECT_EQ(value, 42);
    EXPECT_NE(engines.Load(engine::kEnglish, 0, 0, "/nowhere"), 0);
    EXPECT_NE(engines.LoadUserDict(engine::kJapanese, "/nowhere.csv"), 1);
    engines.Stop(engine::kEnglish);
    engines.Pause(3);
    engines.Unload(11, 0);

    // The real Korean engine: a load without its voice directory fails, with it succeeds.
    EXPECT_NE(engines.Load(engine::kKorean, 0, 10, (dir + "VW/VT/Yumi/M16").c_str()), 0);
    const std::string voices = std::string(PROGRAM_DIR) + "/VW/VT/Yumi/M16";
    EXPECT_EQ(engines.Load(engine::kKorean, 0, 10, voices.c_str()), 0);
    engines.GetInfo(engine::kKorean, VT_INFO_VOLUME_MAX, &value);
    EXPECT_EQ(value, 500);
    engines.Unload(engine::kKorean, 10);
    fs::remove_all(dir);
}

// A half-written update: the loader would map pages past the end of the file and die of
// SIGBUS on touching them. Such a library, or one over such a core, is unavailable instead.
TEST(LibraryEngineSet, ATruncatedLibraryOrCoreLeavesItsLanguagesOut) {
    char tmpl[] = "/tmp/selvarine-engines-XXXXXX";
    const std::string dir = std::string(mkdtemp(tmpl)) + "/";
    for (const char* name : {"vt_eng.so", "vt_kor.so", "libselvarine_synth.so"})
        fs::copy_file(std::string(PROGRAM_DIR) + "/" + name, dir + name);
    fs::resize_file(dir + "vt_eng.so", 1000);
    engine::LibraryEngineSet engines(dir);
    EXPECT_FALSE(engines.Available(engine::kEnglish));
    EXPECT_NE(engines.Problem(engine::kEnglish).find("truncated"), std::string::npos)
        << engines.Problem(engine::kEnglish);
    EXPECT_TRUE(engines.Available(engine::kKorean));

    // In a folder of its own: the core above stays mapped and must not be cut under it.
    const std::string other = dir + "other/";
    fs::create_directory(other);
    fs::copy_file(dir + "vt_kor.so", other + "vt_kor.so");
    fs::copy_file(dir + "libselvarine_synth.so", other + "libselvarine_synth.so");
    fs::resize_file(other + "libselvarine_synth.so", 100000);
    engine::LibraryEngineSet overCutCore(other);
    EXPECT_FALSE(overCutCore.Available(engine::kKorean));
    EXPECT_NE(overCutCore.Problem(engine::kKorean).find("libselvarine_synth.so is truncated"),
              std::string::npos)
        << overCutCore.Problem(engine::kKorean);
    fs::remove_all(dir);
}

TEST(IsUserDicEmpty, OnlyAnExistingFileOfNoBytes) {
    char tmpl[] = "/tmp/selvarine-dic-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    const std::string empty = dir + "/empty.csv", full = dir + "/full.csv";
    std::ofstream{empty}.close();
    std::ofstream{full} << "a,b\n";
    EXPECT_TRUE(engine::IsUserDicEmpty(empty));
    EXPECT_FALSE(engine::IsUserDicEmpty(full));
    EXPECT_FALSE(engine::IsUserDicEmpty(dir + "/missing.csv"));
    EXPECT_FALSE(engine::IsUserDicEmpty(""));
    fs::remove_all(dir);
}
