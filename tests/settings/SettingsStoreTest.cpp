#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/posix/RegFileHive.h"
#include "settings/SettingsStore.h"

using namespace platform;

namespace {

const std::string kTop = "SOFTWARE\\Tarnholm\\Selvarine";
const std::string kAppDir = "/opt/selvarine/bin/";

struct Loaded {
    int language = -1, x = -1, y = -1, codepage = -1;
    VoiceSettings voices[4];
    std::string paths[4];
    settings::Targets Targets() {
        return {&language, &x,
                &y,        {&voices[0], &voices[1], &voices[2], &voices[3]},
                &codepage, {&paths[0], &paths[1], &paths[2], &paths[3]}};
    }
};

class SettingsStoreTest : public ::testing::Test {
  public:
    SettingsStoreTest() {
        char tmpl[] = "/tmp/selvarine-settings-XXXXXX";
        m_dir = mkdtemp(tmpl);
        m_file = m_dir + "/Tarnholm/Selvarine.reg";
    }
    ~SettingsStoreTest() override { std::filesystem::remove_all(m_dir); }

    // Writes the keys as a previous run (or the user) left them.
    void Put(const std::string& key, const std::string& name, RegType type, const void* data,
             std::uint32_t size) {
        RegFileHive hive(m_file);
        hive.Load();
        RegKey k;
        ASSERT_EQ(hive.CreateKey(key, &k), kRegOk);
        hive.SetValue(k, name, type, data, size);
        hive.CloseKey(k);
    }
    void PutDword(const std::string& key, const std::string& name, std::uint32_t v) {
        Put(key, name, RegType::Dword, &v, 4);
    }
    void PutPath(const std::string& key, const std::string& path) {
        Put(key, "UserDicPath", RegType::Sz, path.c_str(),
            static_cast<std::uint32_t>(path.size() + 1));
    }
    void PutLanguageStage(const std::string& name, int v, const std::string& path) {
        PutDword(kTop + "\\" + name, "volume", v);
        PutDword(kTop + "\\" + name, "speed", v + 1);
        PutDword(kTop + "\\" + name, "pitch", v + 2);
        if (name == "Chinese") PutDword(kTop + "\\Chinese", "codepage", 3);
        PutPath(kTop + "\\" + name, path);
    }
    void PutEverything() {
        PutDword(kTop, "language", 9);
        PutDword(kTop, "X", 10);
        PutDword(kTop, "Y", 20);
        PutLanguageStage("Japanese", 50, "/j.csv");
        PutLanguageStage("English", 60, "/e.csv");
        PutLanguageStage("Chinese", 70, "/c.csv");
        PutLanguageStage("Korean", 80, "/k.csv");
    }
    Loaded Load() {
        RegFileHive hive(m_file);
        hive.Load();
        Loaded l;
        settings::LoadSettings(hive, kAppDir, l.Targets());
        return l;
    }
    std::uint32_t Stored(const std::string& key, const std::string& name) {
        RegFileHive hive(m_file);
        hive.Load();
        RegKey k;
        std::uint32_t v = 0xDEAD, size = 4;
        if (hive.OpenKey(key, RegAccess::Read, &k) == kRegOk)
            hive.QueryValue(k, name, nullptr, &v, &size);
        return v;
    }
    std::string FileText() { return ReadText(m_file); }
    static std::string ReadText(const std::string& path) {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string m_dir, m_file;
};

}  // namespace

TEST_F(SettingsStoreTest, FirstRunWritesEveryDefault) {
    Loaded l = Load();
    EXPECT_EQ(l.language, 7);
    EXPECT_EQ(l.x, 200);
    EXPECT_EQ(l.y, 200);
    EXPECT_EQ(l.codepage, 0);
    EXPECT_FALSE(std::filesystem::exists(m_file + ".bad"));  // nothing was stored to keep
    for (int n = 0; n < 4; ++n) {
        EXPECT_EQ(l.voices[n].volume, 100);
        EXPECT_EQ(l.voices[n].speed, 100);
        EXPECT_EQ(l.voices[n].pitch, 100);
        EXPECT_EQ(l.paths[n], settings::DefaultUserDicPath(kAppDir, 7 + n));
    }
    EXPECT_EQ(l.paths[0], kAppDir + "VW/VT/Miyu/M16/data-common/userdict/userdict_jpn.csv");
    EXPECT_EQ(l.paths[3], kAppDir + "VW/VT/Yumi/M16/data-common/userdict/userdict_kor.csv");
    EXPECT_EQ(Stored(kTop, "X"), 200u);
    EXPECT_EQ(Stored(kTop + "\\Chinese", "codepage"), 0u);
    EXPECT_NE(FileText().find("\"UserDicPath\"=\"/opt/selvarine/bin/VW/VT/Hui/M16/data-common/"
                              "userdict/userdict_chi.csv\""),
              std::string::npos);

    SCOPED_TRACE("the second run reads back what the first wrote");
    const std::string before = FileText();
    Loaded again = Load();
    EXPECT_EQ(again.paths[2], l.paths[2]);
    EXPECT_EQ(FileText(), before);
}

TEST_F(SettingsStoreTest, StoredValuesAreTakenAsTheyAre) {
    PutEverything();
    PutDword(kTop, "X", static_cast<std::uint32_t>(-1500));  // a monitor left of the primary
    PutDword(kTop, "Y", static_cast<std::uint32_t>(-20));
    PutDword(kTop + "\\Japanese", "pitch", static_cast<std::uint32_t>(-100));
    PutDword(kTop + "\\English", "pitch", 65436);  // low 16 bits are those of -100
    const std::uint32_t binaryVolume = 321;
    Put(kTop + "\\Korean", "volume", RegType::Binary, &binaryVolume, 4);

    Loaded l = Load();
    EXPECT_EQ(l.language, 9);
    EXPECT_EQ(l.x, -1500);
    EXPECT_EQ(l.y, -20);
    EXPECT_EQ(l.voices[0].pitch, -100);
    EXPECT_EQ(l.voices[1].pitch, -100);
    EXPECT_EQ(l.voices[3].volume, 321);
    EXPECT_EQ(l.voices[2].speed, 71);
    EXPECT_EQ(l.codepage, 3);
    EXPECT_EQ(l.paths[1], "/e.csv");
}

TEST_F(SettingsStoreTest, AFailureInsideAStageResetsThatWholeStageOnly) {
    struct Case {
        const char* name;
        std::function<void(SettingsStoreTest&)> damage;
        int stage;  // 1..4: the language stage that must fall back
    };
    const std::string longPath = "/" + std::string(299, 'p');  // 300 bytes with terminator
    const std::uint16_t twoBytes = 5;
    const Case cases[] = {
        {"300-byte UserDicPath",
         [&](SettingsStoreTest& t) { t.PutPath(kTop + "\\English", longPath); }, 2},
        {"a 2-byte volume",
         [&](SettingsStoreTest& t) {
             t.Put(kTop + "\\Korean", "volume", RegType::Binary, &twoBytes, 2);
         },
         4},
        {"a 5-byte speed",
         [](SettingsStoreTest& t) {
             const std::uint8_t five[5] = {1, 2, 3, 4, 5};
             t.Put(kTop + "\\Japanese", "speed", RegType::Binary, five, 5);
         },
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(m_dir + "/Tarnholm");
        PutEverything();
        c.damage(*this);
        Loaded l = Load();
        EXPECT_EQ(l.language, 9);  // the top stage is untouched
        for (int n = 0; n < 4; ++n) {
            const bool reset = c.stage == n + 1;
            EXPECT_EQ(l.voices[n].volume, reset ? 100 : 50 + 10 * n) << n;
            EXPECT_EQ(l.voices[n].pitch, reset ? 100 : 52 + 10 * n) << n;
            if (reset) {
                EXPECT_EQ(l.paths[n], settings::DefaultUserDicPath(kAppDir, 7 + n));
            }
        }
    }
}

TEST_F(SettingsStoreTest, MissingValuesResetTheirStageAndAreWrittenBack) {
    // The top key with "language" but no "X".
    PutDword(kTop, "language", 10);
    PutLanguageStage("Japanese", 50, "/j.csv");
    PutLanguageStage("English", 60, "/e.csv");
    // Chinese without "codepage".
    PutDword(kTop + "\\Chinese", "volume", 70);
    PutDword(kTop + "\\Chinese", "speed", 71);
    PutDword(kTop + "\\Chinese", "pitch", 72);
    PutPath(kTop + "\\Chinese", "/c.csv");
    PutLanguageStage("Korean", 80, "/k.csv");
    const std::string before = FileText();

    Loaded l = Load();
    // What the defaults replaced is kept, once, as for a damaged file.
    EXPECT_EQ(ReadText(m_file + ".bad"), before);
    EXPECT_FALSE(std::filesystem::exists(m_file + ".bad.1"));
    EXPECT_EQ(l.language, 7);
    EXPECT_EQ(l.x, 200);
    EXPECT_EQ(l.y, 200);
    EXPECT_EQ(Stored(kTop, "language"), 7u);
    EXPECT_EQ(Stored(kTop, "Y"), 200u);
    EXPECT_EQ(l.voices[2].volume, 100);
    EXPECT_EQ(l.voices[2].speed, 100);
    EXPECT_EQ(l.paths[2], settings::DefaultUserDicPath(kAppDir, 9));
    EXPECT_EQ(l.codepage, 0);
    EXPECT_EQ(Stored(kTop + "\\Chinese", "codepage"), 0u);
    EXPECT_EQ(l.voices[0].volume, 50);
    EXPECT_EQ(l.voices[3].speed, 81);
}

TEST_F(SettingsStoreTest, LaterWritersUpdateButNeverCreateTheKey) {
    {
        RegFileHive hive(m_file);
        hive.Load();
        settings::SavePosition(hive, 5, 6);
        settings::SaveLanguage(hive, 8);
    }
    EXPECT_FALSE(std::filesystem::exists(m_file));

    Load();
    RegFileHive hive(m_file);
    hive.Load();
    settings::SavePosition(hive, -7, 300);
    settings::SaveLanguage(hive, 10);
    EXPECT_EQ(Stored(kTop, "X"), static_cast<std::uint32_t>(-7));
    EXPECT_EQ(Stored(kTop, "Y"), 300u);
    EXPECT_EQ(Stored(kTop, "language"), 10u);
}

TEST_F(SettingsStoreTest, AnUnwritableFolderStillGivesTheDefaults) {
    std::filesystem::create_directories(m_dir + "/Tarnholm");
    // A folder where the file should be: no write can succeed, even as root.
    std::filesystem::create_directory(m_file);
    Loaded l = Load();
    EXPECT_EQ(l.language, 7);
    EXPECT_EQ(l.x, 200);
    EXPECT_EQ(l.voices[1].speed, 100);
    EXPECT_EQ(l.paths[3], settings::DefaultUserDicPath(kAppDir, 10));
}

TEST_F(SettingsStoreTest, AutoLanguageIsOnUnlessStoredAsZeroAndNeverResetsTheTopStage) {
    PutEverything();  // a file from before the value existed
    const std::string before = FileText();
    auto autoLanguage = [&] {
        RegFileHive hive(m_file);
        hive.Load();
        return settings::LoadAutoLanguage(hive);
    };
    EXPECT_EQ(autoLanguage(), 1);
    EXPECT_EQ(Load().language, 9) << "the top stage was reset";
    EXPECT_EQ(FileText(), before) << "a missing value is not written";

    const std::pair<std::uint32_t, int> stored[] = {{0, 0}, {1, 1}, {7, 1}, {0x10000, 1}};
    for (auto [value, expected] : stored) {
        PutDword(kTop, "AutoLanguage", value);
        EXPECT_EQ(autoLanguage(), expected) << value;
    }
    Put(kTop, "AutoLanguage", RegType::Binary, "\0", 1);  // too short to be a number
    EXPECT_EQ(autoLanguage(), 1);
    {
        RegFileHive hive(m_file);
        hive.Load();
        settings::SaveAutoLanguage(hive, 0);
    }
    EXPECT_EQ(Stored(kTop, "AutoLanguage"), 0u);
    EXPECT_EQ(autoLanguage(), 0);
}
