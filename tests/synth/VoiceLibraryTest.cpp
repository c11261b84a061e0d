// Adding voices from downloaded archives: what gets in, what is refused, and that nothing
// else in the voices folder is touched either way.

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "TinyVitsModel.h"
#include "synth/backend/sherpa/VoiceLibrary.h"

namespace fs = std::filesystem;
using namespace synth;

namespace {

struct Entry {
    std::string path;
    enum Kind { File, Dir, Symlink, Hardlink, Fifo } kind = File;
    std::string content;  // a file's bytes, or a link's target
};

std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

void writeArchive(const std::string& path, const std::vector<Entry>& entries) {
    archive* a = archive_write_new();
    archive_write_add_filter_bzip2(a);
    archive_write_set_format_pax_restricted(a);
    ASSERT_EQ(archive_write_open_filename(a, path.c_str()), ARCHIVE_OK);
    for (const Entry& e : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.path.c_str());
        archive_entry_set_perm(entry, 0644);
        switch (e.kind) {
            case Entry::File:
                archive_entry_set_filetype(entry, AE_IFREG);
                archive_entry_set_size(entry, static_cast<la_int64_t>(e.content.size()));
                break;
            case Entry::Dir:
                archive_entry_set_filetype(entry, AE_IFDIR);
                break;
            case Entry::Symlink:
                archive_entry_set_filetype(entry, AE_IFLNK);
                archive_entry_set_symlink(entry, e.content.c_str());
                break;
            case Entry::Hardlink:
                archive_entry_set_filetype(entry, AE_IFREG);
                archive_entry_set_hardlink(entry, e.content.c_str());
                break;
            case Entry::Fifo:
                archive_entry_set_filetype(entry, AE_IFIFO);
                break;
        }
        archive_write_header(a, entry);
        if (e.kind == Entry::File) archive_write_data(a, e.content.data(), e.content.size());
        archive_entry_free(entry);
    }
    archive_write_close(a);
    archive_write_free(a);
}

std::set<std::string> listing(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        names.insert(fs::relative(e.path(), folder).string());
    return names;
}

class VoiceLibraryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/voice-library-test-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        m_voices = m_dir + "/voices";
        fs::create_directories(m_dir + "/model");
        tiny_vits::write(m_dir + "/model");
        for (const char* f : {"model.onnx", "tokens.txt", "lexicon.txt"})
            m_files[f] = slurp(m_dir + "/model/" + f);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::vector<Entry> voice(const std::string& top, std::vector<Entry> extra = {}) {
        std::vector<Entry> entries;
        for (const auto& [name, bytes] : m_files)
            entries.push_back({top + name, Entry::File, bytes});
        entries.insert(entries.end(), extra.begin(), extra.end());
        return entries;
    }

    std::string m_dir, m_voices;
    std::map<std::string, std::string> m_files;
};

TEST_F(VoiceLibraryTest, AddsAVoiceOnlyFromASafeArchiveAndTouchesNothingElse) {
    fs::create_directories(m_voices + "/amy");
    std::ofstream(m_voices + "/amy/keep.txt") << "mine";
    std::ofstream(m_voices + "/notes.txt") << "mine too";
    std::vector<Entry> noTokens = voice("bob/");
    noTokens.erase(std::remove_if(noTokens.begin(), noTokens.end(),
                                  [](const Entry& e) { return e.path == "bob/tokens.txt"; }),
                   noTokens.end());
    struct Row {
        const char* archive;
        std::vector<Entry> entries;
        UnpackError error;
        const char* name;  // of the voice added
    } rows[] = {
        {"kim.tar.bz2", voice("kim/", {{"kim/espeak-ng-data", Entry::Dir, ""}}), UnpackError::None,
         "kim"},
        {"flat.tar.bz2", voice("./"), UnpackError::None, "flat"},
        {"up.tar.bz2", voice("up/", {{"up/../../escaped.txt", Entry::File, "x"}}),
         UnpackError::UnsafePath, ""},
        {"abs.tar.bz2", voice("abs/", {{"/tmp/escaped.txt", Entry::File, "x"}}),
         UnpackError::UnsafePath, ""},
        {"twice.tar.bz2", voice("twice/", {{"twice/tokens.txt", Entry::File, "x"}}),
         UnpackError::UnsafePath, ""},
        {"sym.tar.bz2", voice("sym/", {{"sym/lexicon2.txt", Entry::Symlink, "/etc/passwd"}}),
         UnpackError::Link, ""},
        {"hard.tar.bz2", voice("hard/", {{"hard/x", Entry::Hardlink, "/etc/passwd"}}),
         UnpackError::Link, ""},
        {"fifo.tar.bz2", voice("fifo/", {{"fifo/pipe", Entry::Fifo, ""}}), UnpackError::SpecialFile,
         ""},
        {"bob.tar.bz2", noTokens, UnpackError::NotAVoice, ""},
        {"amy.tar.bz2", voice("amy/"), UnpackError::Exists, ""},
    };
    std::set<std::string> expected = listing(m_voices);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.archive);
        const std::string archive = m_dir + "/" + row.archive;
        writeArchive(archive, row.entries);
        const UnpackResult result = unpackVoiceArchive(archive, m_voices);
        EXPECT_EQ(result.error, row.error) << unpackMessage(result);
        EXPECT_FALSE(unpackMessage(result).empty());
        if (row.error == UnpackError::None) {
            EXPECT_EQ(result.name, row.name);
            for (const auto& [file, bytes] : m_files) {
                expected.insert(std::string(row.name) + "/" + file);
                EXPECT_EQ(slurp(m_voices + "/" + row.name + "/" + file), bytes);
            }
            expected.insert(row.name);
            if (std::string(row.name) == "kim") expected.insert("kim/espeak-ng-data");
        }
        EXPECT_EQ(listing(m_voices), expected) << "no leftovers, nothing else changed";
    }
    EXPECT_FALSE(fs::exists(m_dir + "/escaped.txt"));
    EXPECT_FALSE(fs::exists("/tmp/escaped.txt"));
    EXPECT_EQ(slurp(m_voices + "/amy/keep.txt"), "mine");

    // Sizes: the archive's own is checked before reading it, the unpacked total as it grows.
    const std::string huge = m_dir + "/huge.tar.bz2";
    std::ofstream(huge).close();
    ASSERT_EQ(::truncate(huge.c_str(), off_t{2} << 30), 0);  // sparse: no disk used
    EXPECT_EQ(unpackVoiceArchive(huge, m_voices).error, UnpackError::TooLarge);
    writeArchive(m_dir + "/big.tar.bz2", voice("big/"));
    UnpackLimits small;
    small.unpackedBytes = 100;
    EXPECT_EQ(unpackVoiceArchive(m_dir + "/big.tar.bz2", m_voices, small).error,
              UnpackError::TooLarge);
    std::ofstream(m_dir + "/text.tar.bz2") << "not an archive\n";
    EXPECT_EQ(unpackVoiceArchive(m_dir + "/text.tar.bz2", m_voices).error, UnpackError::NotArchive);
    EXPECT_EQ(listing(m_voices), expected);

    const auto voices = listAddedVoices(m_voices);
    ASSERT_EQ(voices.size(), 3u);  // amy (no model), flat, kim
    EXPECT_EQ(voices[0].name, "amy");
    EXPECT_FALSE(voices[0].model);
    ASSERT_TRUE(voices[2].model) << voices[2].why;
    EXPECT_TRUE(speaksLanguage(*voices[2].model, "english"));
    EXPECT_FALSE(speaksLanguage(*voices[2].model, "Chinese"));
}

TEST_F(VoiceLibraryTest, TheVoiceValueAndRemovalStayInsideTheVoicesFolder) {
    fs::create_directories(m_voices + "/amy");
    fs::create_directories(m_dir + "/elsewhere");
    std::ofstream(m_dir + "/elsewhere/precious.txt") << "x";
    fs::create_directory_symlink(m_dir + "/elsewhere", m_voices + "/link");
    for (const char* bad : {"", ".", "..", "../elsewhere", "a/b", ".unpack-1"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(addedVoiceFolder(m_voices, bad));
    }
    EXPECT_EQ(addedVoiceFolder(m_voices, "amy"), m_voices + "/amy");
    std::string why;
    EXPECT_FALSE(removeAddedVoice(m_voices, "link", &why));
    EXPECT_FALSE(removeAddedVoice(m_voices, "..", &why));
    EXPECT_TRUE(fs::exists(m_dir + "/elsewhere/precious.txt"));
    EXPECT_TRUE(removeAddedVoice(m_voices, "amy", &why)) << why;
    EXPECT_FALSE(fs::exists(m_voices + "/amy"));

    setenv("XDG_DATA_HOME", "/data", 1);
    EXPECT_EQ(voicesFolder(), "/data/selvarine/voices");
    setenv("XDG_DATA_HOME", "relative", 1);  // a relative XDG_DATA_HOME is ignored, as desktops do
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(voicesFolder(), "/home/u/.local/share/selvarine/voices");
}

}  // namespace
