#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "platform/RegFileFormat.h"
#include "platform/RegMerge.h"
#include "platform/posix/RegFileHive.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {

class TempDir {
  public:
    TempDir() {
        char tmpl[] = "/tmp/selvarine-hive-XXXXXX";
        m_path = mkdtemp(tmpl);
    }
    ~TempDir() {
        chmod(m_path.c_str(), 0700);
        fs::remove_all(m_path);
    }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }
    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::uint32_t QueryDword(RegistryHive& hive, RegKey key, const std::string& name) {
    std::uint32_t v = 0, size = 4;
    EXPECT_EQ(hive.QueryValue(key, name, nullptr, &v, &size), kRegOk) << name;
    return v;
}

const char* kTop = "SOFTWARE\\Tarnholm\\Selvarine";

}  // namespace

TEST(RegFileHive, ValuesSurviveARestartWithTheirTypesAndSpellings) {
    TempDir dir;
    const std::string file = dir / "sub/Selvarine.reg";
    {
        RegFileHive hive(file);
        EXPECT_EQ(hive.Load(), RegFileHive::LoadResult::Missing);
        RegKey key;
        ASSERT_EQ(hive.CreateKey(kTop + std::string("\\Japanese"), &key), kRegOk);
        SetDword(hive, key, "volume", 0xFFFFFF9Cu);  // -100
        const char path[] = "C:\\odd \"quoted\" path/日本語.csv";
        hive.SetValue(key, "UserDicPath", RegType::Sz, path, sizeof path);
        const std::uint8_t bin[] = {1, 2, 0, 0xff};
        hive.SetValue(key, "Blob", RegType::Binary, bin, sizeof bin);
        const std::uint8_t notText[] = {0xff, 0xfe, 0};  // not UTF-8: must still round-trip
        hive.SetValue(key, "Raw", RegType::Sz, notText, sizeof notText);
        hive.CloseKey(key);
    }
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(ReadFile(file).starts_with("REGEDIT4\n"));

    RegFileHive hive(file);
    EXPECT_EQ(hive.Load(), RegFileHive::LoadResult::Loaded);
    RegKey key;
    ASSERT_EQ(hive.OpenKey("software\\TARNHOLM\\selvarine\\japanese", RegAccess::Read, &key),
              kRegOk);
    EXPECT_EQ(QueryDword(hive, key, "VOLUME"), 0xFFFFFF9Cu);
    char text[260] = {};
    std::uint32_t size = sizeof text;
    RegType type{};
    ASSERT_EQ(hive.QueryValue(key, "userdicpath", &type, text, &size), kRegOk);
    EXPECT_EQ(type, RegType::Sz);
    EXPECT_STREQ(text, "C:\\odd \"quoted\" path/日本語.csv");
    std::uint8_t bin[4];
    size = 4;
    ASSERT_EQ(hive.QueryValue(key, "blob", &type, bin, &size), kRegOk);
    EXPECT_EQ(type, RegType::Binary);
    EXPECT_EQ(bin[3], 0xff);
    std::uint8_t raw[3];
    size = 3;
    ASSERT_EQ(hive.QueryValue(key, "raw", &type, raw, &size), kRegOk);
    EXPECT_EQ(type, RegType::Sz);
    EXPECT_EQ(raw[0], 0xff);
}

TEST(RegFileHive, FollowsTheRegistrysRules) {
    TempDir dir;
    RegFileHive hive(dir / "s.reg");
    RegKey key;
    SCOPED_TRACE("opening never creates");
    EXPECT_EQ(hive.OpenKey(kTop, RegAccess::Write, &key), kRegNotFound);
    ASSERT_EQ(hive.CreateKey(kTop, &key), kRegOk);
    const char longText[] = "0123456789";
    hive.SetValue(key, "Text", RegType::Sz, longText, sizeof longText);
    hive.CloseKey(key);

    SCOPED_TRACE("a short read fails and reports the size");
    ASSERT_EQ(hive.OpenKey(kTop, RegAccess::Read, &key), kRegOk);
    char small[4] = {'x', 'x', 'x', 'x'};
    std::uint32_t size = sizeof small;
    EXPECT_EQ(hive.QueryValue(key, "text", nullptr, small, &size), kRegMoreData);
    EXPECT_EQ(size, sizeof longText);
    EXPECT_EQ(small[0], 'x');
    SCOPED_TRACE("read access cannot write");
    EXPECT_EQ(SetDword(hive, key, "X", 1), kRegAccessDenied);
    hive.CloseKey(key);
    EXPECT_EQ(SetDword(hive, key, "X", 1), kRegInvalidHandle);

    SCOPED_TRACE("a rewrite keeps the first spelling and replaces the value");
    ASSERT_EQ(hive.OpenKey(kTop, RegAccess::Write, &key), kRegOk);
    SetDword(hive, key, "language", 7);
    SetDword(hive, key, "Language", 10);
    EXPECT_EQ(QueryDword(hive, key, "LANGUAGE"), 10u);
    const std::string text = ReadFile(dir / "s.reg");
    EXPECT_NE(text.find("\"language\"=dword:0000000a"), std::string::npos) << text;
    EXPECT_EQ(text.find("\"Language\""), std::string::npos) << text;
}

TEST(RegFileHive, DamagedFilesAreKeptAsideAndWhatIsReadableSurvives) {
    struct Case {
        const char* name;
        std::string content;
        bool keepsX;
    };
    const std::string good =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Tarnholm\\Selvarine]\n\"X\"=dword:00000010\n";
    const Case cases[] = {
        {"garbage",
         std::string("\x7f"
                     "ELF\x01\x02 binary junk\n\x00\x01",
                     20),
         false},
        {"truncated mid-line", good + "\"Y\"=dword:000", true},
        {"non-UTF-8 string", good + "\"UserDicPath\"=\"\xff\xfe\"\n", true},
        {"unbalanced quote", good + "\"Y=dword:00000001\n", true},
        {"value outside any key", "REGEDIT4\n\"X\"=dword:00000001\n", false},
        {"missing header",
         "[HKEY_CURRENT_USER\\SOFTWARE\\Tarnholm\\Selvarine]\n\"X\"=dword:00000010\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string file = dir / "Selvarine.reg";
        WriteFile(file, c.content);
        RegFileHive hive(file);
        EXPECT_EQ(hive.Load(), RegFileHive::LoadResult::Salvaged);
        EXPECT_EQ(hive.BackupPath(), file + ".bad");
        EXPECT_EQ(ReadFile(file + ".bad"), c.content);
        RegKey key;
        bool opened = hive.OpenKey(kTop, RegAccess::Read, &key) == kRegOk;
        EXPECT_EQ(opened, c.keepsX);
        if (opened) {
            EXPECT_EQ(QueryDword(hive, key, "X"), 16u);
        }

        SCOPED_TRACE("a second damaged file does not overwrite the first backup");
        WriteFile(file, "junk");
        RegFileHive again(file);
        again.Load();
        EXPECT_EQ(again.BackupPath(), file + ".bad.1");
        EXPECT_EQ(ReadFile(file + ".bad"), c.content);
    }
}

TEST(RegFileHive, AFailedWriteLeavesTheOldFileWholeAndTheValueInMemory) {
    TempDir dir;
    const std::string file = dir / "Selvarine.reg";
    RegFileHive hive(file);
    RegKey key;
    ASSERT_EQ(hive.CreateKey(kTop, &key), kRegOk);
    ASSERT_EQ(SetDword(hive, key, "X", 1), kRegOk);
    const std::string before = ReadFile(file);

    // Permissions do not stop root, so make the final rename fail instead: a folder stands
    // where the file should go.
    RegFileHive blocked(dir / "blocked.reg");
    fs::create_directory(dir / "blocked.reg");
    RegKey k2;
    blocked.CreateKey(kTop, &k2);
    EXPECT_EQ(SetDword(blocked, k2, "X", 5), kRegWriteFault);
    EXPECT_EQ(QueryDword(blocked, k2, "X"), 5u);
    EXPECT_TRUE(fs::is_directory(dir / "blocked.reg"));

    EXPECT_EQ(ReadFile(file), before);
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp."), std::string::npos)
            << "temporary file left behind: " << entry.path();
}

// What a careless environment leaves in the file's place. A file that cannot be read is
// never written over (root reads any mode, so a reader without rights runs in a child), a
// folder there gains no new .bad.N at each start, a huge file is moved aside, and temporary
// files of a write killed half way are removed.
TEST(RegFileHive, WhatCannotBeReadIsNeverOverwrittenAndLeftoversAreCleared) {
    TempDir dir;
    const std::string file = dir / "Selvarine.reg";
    WriteFile(
        file,
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Tarnholm\\Selvarine]\n\"X\"=dword:00000010\n");
    const std::string stored = ReadFile(file);
    const pid_t child = fork();
    if (child == 0) {
        chmod(file.c_str(), 0);
        if (getuid() == 0) {
            (void)!chown(dir.path().c_str(), 65534, 65534);
            (void)!chown(file.c_str(), 65534, 65534);
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
        }
        RegFileHive hive(file);
        if (hive.Load() != RegFileHive::LoadResult::Unreadable || hive.Problem().empty()) _exit(3);
        RegKey key;
        hive.CreateKey(kTop, &key);
        SetDword(hive, key, "X", 200);
        std::uint32_t x = 0, size = 4;
        _exit(hive.QueryValue(key, "X", nullptr, &x, &size) == kRegOk && x == 200 ? 0 : 4);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    (void)!chown(dir.path().c_str(), getuid(), getgid());
    (void)!chown(file.c_str(), getuid(), getgid());
    chmod(file.c_str(), 0600);
    EXPECT_EQ(ReadFile(file), stored);

    SCOPED_TRACE("made unreadable while in use: left alone, even by root, until readable again");
    {
        RegFileHive live(file);
        ASSERT_EQ(live.Load(), RegFileHive::LoadResult::Loaded);
        RegKey key;
        ASSERT_EQ(live.OpenKey(kTop, RegAccess::Write, &key), kRegOk);
        chmod(file.c_str(), 0);
        EXPECT_EQ(SetDword(live, key, "X", 300), kRegWriteFault);
        EXPECT_NE(live.WriteProblem().find("Permission denied"), std::string::npos);
        struct stat st {};
        ASSERT_EQ(stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0u);
        EXPECT_EQ(ReadFile(file), stored);
        chmod(file.c_str(), 0600);
        EXPECT_EQ(live.Flush(), kRegOk);
        EXPECT_NE(ReadFile(file).find("\"X\"=dword:0000012c"), std::string::npos);
    }

    SCOPED_TRACE("a folder in the file's place");
    const std::string folder = dir / "Folder.reg";
    fs::create_directory(folder);
    for (int start = 0; start < 3; ++start) {
        RegFileHive hive(folder);
        EXPECT_EQ(hive.Load(), RegFileHive::LoadResult::Unreadable);
    }
    EXPECT_FALSE(fs::exists(folder + ".bad"));

    SCOPED_TRACE("a file too large to be ours, and leftovers of killed writes");
    WriteFile(file, "REGEDIT4\n" + std::string(RegFileHive::kMaxFileSize, ';'));
    WriteFile(file + ".tmp.a1B2c3", "half");
    WriteFile(file + ".tmp.keep", "not ours");
    RegFileHive hive(file);
    EXPECT_EQ(hive.Load(), RegFileHive::LoadResult::Salvaged);
    EXPECT_EQ(hive.BackupPath(), file + ".bad");
    EXPECT_EQ(fs::file_size(file + ".bad"), RegFileHive::kMaxFileSize + 9);
    RegKey key;
    EXPECT_EQ(hive.OpenKey(kTop, RegAccess::Read, &key), kRegNotFound);
    EXPECT_FALSE(fs::exists(file + ".tmp.a1B2c3"));
    EXPECT_TRUE(fs::exists(file + ".tmp.keep"));
}

// Without HOME the file once went to /tmp/.config, a folder any user can make and fill. The
// password database's home serves instead, when it is a folder of this user; with none the
// hive keeps the settings in memory and writes nothing.
TEST(RegFileHive, TheDefaultPathIsInAFolderOfThisUserOrNowhere) {
    TempDir home;
    const std::string inHome = home.path() + "/.config/Tarnholm/Selvarine.reg";
    fs::create_directory(home / "other");
    const bool othersFolder = chown((home / "other").c_str(), getuid() + 1, getgid()) == 0;
    struct Case {
        const char* name;
        const char* xdg;
        const char* home;
        std::string passwordHome;
        std::string expected;
    };
    const Case cases[] = {
        {"XDG_CONFIG_HOME absolute", "/x/cfg", "/h", home.path(), "/x/cfg/Tarnholm/Selvarine.reg"},
        {"XDG_CONFIG_HOME relative", "cfg", "/h", home.path(), "/h/.config/Tarnholm/Selvarine.reg"},
        {"no HOME", nullptr, nullptr, home.path(), inHome},
        {"relative HOME", "", "here", home.path(), inHome},
        {"empty HOME", nullptr, "", home.path(), inHome},
        {"no HOME, a home that does not exist", nullptr, nullptr, home / "missing", ""},
        {"no HOME, a relative home", nullptr, nullptr, "home", ""},
        {"no HOME, no home at all", nullptr, nullptr, "", ""},
        {"no HOME, another user's folder", nullptr, nullptr,
         othersFolder ? home / "other" : std::string(), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RegFileHive::Environment env{[&c](const char* name) -> const char* {
                                               return std::string_view(name) == "XDG_CONFIG_HOME"
                                                          ? c.xdg
                                                      : std::string_view(name) == "HOME" ? c.home
                                                                                         : nullptr;
                                           },
                                           [&c] { return c.passwordHome; }};
        EXPECT_EQ(RegFileHive::DefaultPath(env), c.expected);
    }

    SCOPED_TRACE("no path: values in force, nothing written, no failure");
    RegFileHive memory("");
    EXPECT_EQ(memory.Load(), RegFileHive::LoadResult::Missing);
    RegKey key;
    ASSERT_EQ(memory.CreateKey(kTop, &key), kRegOk);
    EXPECT_EQ(SetDword(memory, key, "X", 3), kRegOk);
    EXPECT_EQ(QueryDword(memory, key, "X"), 3u);
    EXPECT_EQ(memory.Flush(), kRegOk);
}

// A value changed by hand while the toolbar runs (sed -i replaces the file, >> appends to it)
// must survive the toolbar's next write; the value the toolbar itself set meanwhile wins.
TEST(RegFileHive, ValuesAnotherProgramWroteSurviveTheNextWrite) {
    const std::string topKey = "[HKEY_CURRENT_USER\\SOFTWARE\\Tarnholm\\Selvarine]\n";
    const std::string japanese =
        "\n[HKEY_CURRENT_USER\\SOFTWARE\\Tarnholm\\Selvarine\\Japanese]\n\"volume\"=dword:"
        "00000064\n";
    const std::string stored = "\"X\"=dword:00000001\n\"Y\"=dword:00000002\n";
    const std::string edited =
        "\"X\"=dword:0000004d\n\"Y\"=dword:00000063\n\"ShortcutStop\"=\"Ctrl+Alt+Q\"\n";
    struct Case {
        const char* name;
        std::function<void(const std::string& file)> edit;
    };
    const Case cases[] = {
        {"replaced, as sed -i does",
         [&](const std::string& file) {
             WriteFile(file + ".sed", "REGEDIT4\n\n" + topKey + edited + japanese);
             fs::rename(file + ".sed", file);
         }},
        {"appended to in place, as >> does",
         [&](const std::string& file) { std::ofstream(file, std::ios::app) << topKey << edited; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string file = dir / "Selvarine.reg";
        WriteFile(file, "REGEDIT4\n\n" + topKey + stored + japanese);
        RegFileHive hive(file);
        ASSERT_EQ(hive.Load(), RegFileHive::LoadResult::Loaded);
        hive.DeferWrites([] {});
        RegKey key;
        ASSERT_EQ(hive.OpenKey(kTop, RegAccess::Write, &key), kRegOk);
        SetDword(hive, key, "X", 5);  // a drag, not yet written
        c.edit(file);
        ASSERT_EQ(hive.Flush(), kRegOk);

        RegFileHive after(file);
        ASSERT_EQ(after.Load(), RegFileHive::LoadResult::Loaded) << ReadFile(file);
        RegKey top, jpn;
        ASSERT_EQ(after.OpenKey(kTop, RegAccess::Read, &top), kRegOk);
        EXPECT_EQ(QueryDword(after, top, "X"), 5u);
        EXPECT_EQ(QueryDword(after, top, "Y"), 0x63u);
        char text[32] = {};
        std::uint32_t size = sizeof text;
        EXPECT_EQ(after.QueryValue(top, "ShortcutStop", nullptr, text, &size), kRegOk);
        EXPECT_STREQ(text, "Ctrl+Alt+Q");
        ASSERT_EQ(after.OpenKey(kTop + std::string("\\Japanese"), RegAccess::Read, &jpn), kRegOk);
        EXPECT_EQ(QueryDword(after, jpn, "volume"), 100u);
        EXPECT_EQ(QueryDword(hive, key, "Y"), 0x63u) << "the edit is in force in memory too";
    }
}

// Editors without atomic saves truncate the file and write it again. Writing meanwhile, the
// hive once took the empty or half-written file as damaged: it dropped the other program's
// sections from memory, wrote a file of its own section only, and kept a .bad copy each time.
TEST(RegFileHive, AnInPlaceSaveByAnotherProgramLosesNothing) {
    TempDir dir;
    const std::string file = dir / "Selvarine.reg";
    std::string full = "REGEDIT4\n";
    for (const char* key : {"", "\\Japanese", "\\English", "\\Chinese", "\\Korean"})
        full += std::string("\n[HKEY_CURRENT_USER\\") + kTop + key +
                "]\n\"volume\"=dword:00000064\n\"speed\"=dword:00000064\n";
    WriteFile(file, full);
    RegFileHive hive(file);
    ASSERT_EQ(hive.Load(), RegFileHive::LoadResult::Loaded);
    hive.DeferWrites([] {});
    RegKey japanese;
    ASSERT_EQ(hive.OpenKey(kTop + std::string("\\Japanese"), RegAccess::Write, &japanese), kRegOk);

    std::atomic<bool> stop{false};
    std::thread editor([&] {
        while (!stop) {
            const int fd = open(file.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
            (void)!write(fd, full.data(), full.size() / 2);
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            (void)!write(fd, full.data() + full.size() / 2, full.size() - full.size() / 2);
            close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    int lost = 0;
    for (std::uint32_t round = 0; round < 30 && lost == 0; ++round) {
        SetDword(hive, japanese, "volume", 200 + round);
        EXPECT_EQ(hive.Flush(), kRegOk) << hive.WriteProblem();
        if (round % 3 == 0) hive.TakeStoredChanges();
        RegKey korean;
        if (hive.OpenKey(kTop + std::string("\\Korean"), RegAccess::Read, &korean) != kRegOk) {
            ++lost;
            continue;
        }
        std::uint32_t speed = 0, size = 4;
        if (hive.QueryValue(korean, "speed", nullptr, &speed, &size) != kRegOk) ++lost;
        hive.CloseKey(korean);
    }
    stop = true;
    editor.join();
    EXPECT_EQ(lost, 0) << "the other program's values left the hive's memory";
    SetDword(hive, japanese, "volume", 7);
    ASSERT_EQ(hive.Flush(), kRegOk);
    RegDocument stored;
    EXPECT_TRUE(ParseRegText(ReadFile(file), &stored).Clean());
    EXPECT_EQ(stored.keys.size(), 5u) << ReadFile(file);
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find(".bad"), std::string::npos)
            << "kept aside as damaged: " << entry.path();
}

// Another program's edits taken while the hive is in use, found a while after they were made:
// an emptied file costs nothing and leaves no copy, a damaged one is kept aside once a run, and
// a second damaged one is neither copied nor written over.
TEST(RegFileHive, EditsWhileInUseAreKeptAsideOnceAndEmptinessNever) {
    TempDir dir;
    const std::string file = dir / "Selvarine.reg";
    const std::string good = "REGEDIT4\n\n[HKEY_CURRENT_USER\\" + std::string(kTop) +
                             "]\n\"X\"=dword:00000010\n\n[HKEY_CURRENT_USER\\A]\n";
    WriteFile(file, "");
    RegFileHive atStart(file);
    EXPECT_EQ(atStart.Load(), RegFileHive::LoadResult::Loaded);
    EXPECT_FALSE(fs::exists(file + ".bad"));

    WriteFile(file, good);
    RegFileHive hive(file);
    ASSERT_EQ(hive.Load(), RegFileHive::LoadResult::Loaded);
    RegKey key;
    ASSERT_EQ(hive.OpenKey(kTop, RegAccess::Write, &key), kRegOk);
    const auto editSecondsAgo = [&](const std::string& text) {
        WriteFile(file, text);
        const timespec past[2] = {{time(nullptr) - 5, 0}, {time(nullptr) - 5, 0}};
        utimensat(AT_FDCWD, file.c_str(), past, 0);
    };

    editSecondsAgo("");
    EXPECT_EQ(SetDword(hive, key, "X", 1), kRegOk);
    RegDocument stored;
    EXPECT_TRUE(ParseRegText(ReadFile(file), &stored).Clean());
    EXPECT_EQ(stored.keys.size(), 2u) << ReadFile(file);
    EXPECT_FALSE(fs::exists(file + ".bad"));

    const std::string damaged = good + "\"Y\"=dword:000";
    editSecondsAgo(damaged);
    EXPECT_EQ(SetDword(hive, key, "X", 2), kRegOk);
    EXPECT_EQ(ReadFile(file + ".bad"), damaged);

    editSecondsAgo(damaged + "\n\"Z");
    EXPECT_EQ(SetDword(hive, key, "X", 3), kRegWriteFault);
    EXPECT_EQ(ReadFile(file), damaged + "\n\"Z");
    EXPECT_FALSE(fs::exists(file + ".bad.1"));
}

// The merge of another program's edit with this program's own changes, with no file.
TEST(RegMerge, OwnValuesWinAndNoKeyIsLost) {
    // "[A] x=1 y=2 [B] z=3": keys and DWORD values.
    const auto doc = [](const std::string& layout) {
        RegDocument d;
        std::istringstream words(layout);
        for (std::string w; words >> w;) {
            if (w.front() == '[') {
                d.keys.push_back({w.substr(1, w.size() - 2), {}});
                continue;
            }
            const std::uint8_t v = static_cast<std::uint8_t>(std::stoi(w.substr(w.find('=') + 1)));
            d.keys.back().values.push_back(
                {w.substr(0, w.find('=')), RegType::Dword, {v, 0, 0, 0}});
        }
        return d;
    };
    struct Row {
        const char* name;
        const char* mine;
        const char* theirs;
        RegOwnChanges own;
        const char* merged;
    };
    const Row rows[] = {
        {"their values stand where ours were not set",
         "[A] x=1 y=2",
         "[A] x=5 y=6",
         {{"a", "x"}},
         "[A] x=1 y=6"},
        {"their added value stays, their removed one stays removed",
         "[A] x=1 y=2",
         "[A] x=1 z=3",
         {},
         "[A] x=1 z=3"},
        {"a key missing from theirs comes back whole",
         "[A] x=1 [B] y=2",
         "[A] x=1",
         {},
         "[A] x=1 [B] y=2"},
        {"a value set here in a key that lacks it",
         "[A] x=1 n=4",
         "[A] x=1",
         {{"a", "n"}},
         "[A] x=1 n=4"},
        {"names compare folded and keep their spelling",
         "[A] X=1",
         "[a] x=5",
         {{"a", "x"}},
         "[a] x=1"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(FormatRegText(MergeOutsideEdit(doc(r.mine), doc(r.theirs), r.own)),
                  FormatRegText(doc(r.merged)));
    }

    SCOPED_TRACE("what may be a save caught half way");
    const std::string head = "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n";
    const std::pair<std::string, bool> texts[] = {
        {"", true},
        {head + "\"x\"=dwo", true},
        {head, true},
        {head + "\"x\"=dword:00000001\n", false},
        {head + "\"x\"=dword:00000001\n\"y\"=dword:00000002\n", false}};
    for (const auto& [text, cutOff] : texts) {
        RegDocument d;
        const RegParseReport report = ParseRegText(text, &d);
        EXPECT_EQ(MayBeCutOff(report, d, 2), cutOff) << text;
    }
}

TEST(RegFileFormat, ParsesWhatItWrites) {
    RegDocument doc;
    doc.keys.push_back({"A\\B",
                        {{"n", RegType::Dword, {1, 0, 0, 0x80}},
                         {"s", RegType::Sz, {'a', '\\', '"', 0}},
                         {"e", RegType::Binary, {}},
                         {"odd", static_cast<RegType>(7), {0x41, 0}}}});
    RegDocument back;
    RegParseReport report = ParseRegText(FormatRegText(doc), &back);
    EXPECT_TRUE(report.Clean());
    ASSERT_EQ(back.keys.size(), 1u);
    ASSERT_EQ(back.keys[0].values.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(back.keys[0].values[i].type, doc.keys[0].values[i].type) << i;
        EXPECT_EQ(back.keys[0].values[i].data, doc.keys[0].values[i].data) << i;
    }
}
