// The editor's document: what it keeps of a file, how it judges rows against the engines'
// loader, and how it saves.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "synth/text/DictionaryFormat.h"
#include "tools/dicteditor/DictionaryDocument.h"
#include "tools/dicteditor/EditorLanguage.h"

namespace fs = std::filesystem;
using dicteditor::DictionaryDocument;
using synth::DictionaryFault;
using SaveStatus = DictionaryDocument::SaveStatus;

namespace {

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Write(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::pair<std::string, std::string>> EngineEntries(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> out;
    synth::DictionaryError error;
    EXPECT_TRUE(synth::ParseDictionary(
        text, [&](std::string&& s, std::string&& r) { out.emplace_back(s, r); }, &error))
        << synth::DescribeDictionaryError(error);
    return out;
}

class DictionaryDocumentFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("dicteditor-" + std::to_string(getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    fs::path m_dir;
};

TEST(DictionaryDocument, KeepsEncodingLineEndingsCommentsAndUntouchedRows) {
    const std::string crlf =
        "\xEF\xBB\xBF# 東京の読み\r\n\"New, York\",ニューヨーク\r\n\r\n#tail\r\nplain,text\r\n";
    DictionaryDocument doc = DictionaryDocument::FromText(crlf);
    EXPECT_EQ(doc.ToText(), crlf);
    ASSERT_EQ(doc.RowCount(), 2u);
    EXPECT_EQ(doc.Surface(0), "New, York");
    EXPECT_EQ(doc.RowLine(1), 5);
    EXPECT_FALSE(doc.Dirty());

    doc.SetReplacement(1, "say \"hi\"");
    doc.AddRow("#tag", "はっしゅ");
    EXPECT_TRUE(doc.Dirty());
    const std::string saved = doc.ToText();
    EXPECT_EQ(saved,
              "\xEF\xBB\xBF# 東京の読み\r\n\"New, York\",ニューヨーク\r\n\r\n#tail\r\n"
              "plain,\"say \"\"hi\"\"\"\r\n\"#tag\",はっしゅ\r\n");
    EXPECT_EQ(EngineEntries(saved),
              (std::vector<std::pair<std::string, std::string>>{
                  {"New, York", "ニューヨーク"}, {"plain", "say \"hi\""}, {"#tag", "はっしゅ"}}));

    // The first line ending decides; no byte order mark and no final line break stay so.
    EXPECT_EQ(DictionaryDocument::FromText("a,1\r\nb,2\n").Ending(), dicteditor::LineEnding::CrLf);
    DictionaryDocument unix = DictionaryDocument::FromText("a,1\nb,2\r\nc,3");
    unix.AddRow("d", "4");
    EXPECT_EQ(unix.ToText(), "a,1\nb,2\nc,3\nd,4");
    DictionaryDocument empty = DictionaryDocument::FromText("");
    empty.AddRow("x", "y");
    EXPECT_EQ(empty.ToText(), "x,y\n");
}

TEST(DictionaryDocument, JudgesRowsAsTheEngineDoes) {
    // Each line on its own: the document's verdict on its row is the engine's on the file.
    const std::string lines[] = {
        "ok,fine", "\"cat,dog", "\"cat\"s,dog", "ca\"t,dog",         "a,b,c",
        "bird",    ",dog",      "cat,\xFF",     "\"multi\nline\",x", "  ,spaces"};
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        const DictionaryDocument doc = DictionaryDocument::FromText(line + "\n");
        ASSERT_EQ(doc.RowCount(), 1u);
        synth::DictionaryError engine;
        synth::ParseDictionary(
            line + "\n", [](std::string&&, std::string&&) {}, &engine);
        EXPECT_EQ(doc.RowFault(0), engine.fault);
        EXPECT_EQ(doc.Check().error.fault, engine.fault);
    }

    // A refused row keeps its text, the rows after it are still read, and the check names it.
    DictionaryDocument doc = DictionaryDocument::FromText("# c\n\"cat,dog\nok,fine\nok,later\n");
    ASSERT_EQ(doc.RowCount(), 3u);
    EXPECT_EQ(doc.Surface(0), "\"cat,dog");
    EXPECT_EQ(doc.RowFault(0), DictionaryFault::UnbalancedQuote);
    EXPECT_TRUE(doc.RowShadowed(1));
    EXPECT_FALSE(doc.RowShadowed(2));
    DictionaryDocument::Verdict verdict = doc.Check();
    EXPECT_EQ(verdict.error.line, 2);
    EXPECT_EQ(verdict.row, 0u);

    doc.SetSurface(0, "cat");
    EXPECT_EQ(doc.RowFault(0), DictionaryFault::None);
    EXPECT_EQ(doc.Check().error.fault, DictionaryFault::None);
    EXPECT_EQ(doc.ToText(), "# c\ncat,\nok,fine\nok,later\n");
    doc.AddRow("", "x");
    EXPECT_EQ(doc.RowFault(3), DictionaryFault::EmptySurface);
    EXPECT_EQ(doc.Check().row, 3u);

    // Bytes that are not UTF-8 in a comment refuse the file though no row holds them.
    const DictionaryDocument comment = DictionaryDocument::FromText("a,b\n#\xFF\n");
    EXPECT_EQ(comment.Check().error.fault, DictionaryFault::NotUtf8);
    EXPECT_EQ(comment.Check().error.line, 2);
    EXPECT_FALSE(comment.Check().row);
}

TEST_F(DictionaryDocumentFiles, SavesAtomicallyAndOnlyWhatTheEngineLoads) {
    const fs::path file = m_dir / "user.csv";
    Write(file, "a,b\n");
    ::chmod(file.c_str(), 0640);
    struct stat before {};
    ::stat(file.c_str(), &before);
    DictionaryDocument::LoadResult loaded = DictionaryDocument::Load(file.string());
    ASSERT_TRUE(loaded.document);
    DictionaryDocument& doc = *loaded.document;

    doc.AddRow("", "nothing");
    DictionaryDocument::SaveResult result = doc.Save(file.string(), false);
    EXPECT_EQ(result.status, SaveStatus::EngineWouldRefuse);
    EXPECT_EQ(Read(file), "a,b\n");

    doc.SetSurface(1, "東京");
    ASSERT_EQ(doc.Save(file.string(), false).status, SaveStatus::Saved);
    EXPECT_EQ(Read(file), "a,b\n東京,nothing\n");
    EXPECT_FALSE(doc.Dirty());
    EXPECT_EQ(doc.RowLine(1), 2);
    struct stat after {};
    ::stat(file.c_str(), &after);
    EXPECT_NE(after.st_ino, before.st_ino) << "replaced by rename, not rewritten in place";
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1)
        << "no temporary file left";

    // Through a symbolic link the file it names is replaced and the link stays.
    const fs::path link = m_dir / "link.csv";
    fs::create_symlink(file, link);
    doc.SetReplacement(0, "c");
    ASSERT_EQ(doc.Save(link.string(), false).status, SaveStatus::Saved);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Read(file), "a,c\n東京,nothing\n");

    // A read-only file is refused, even for root, and stays as it was.
    ::chmod(file.c_str(), 0444);
    doc.SetReplacement(0, "d");
    EXPECT_EQ(doc.Save(file.string(), true).status, SaveStatus::ReadOnly);
    EXPECT_EQ(Read(file), "a,c\n東京,nothing\n");
    EXPECT_TRUE(doc.Dirty());

    EXPECT_EQ(DictionaryDocument::Load((m_dir / "none.csv").string()).status,
              DictionaryDocument::LoadStatus::Missing);
    EXPECT_EQ(DictionaryDocument::Load(m_dir.string()).status,
              DictionaryDocument::LoadStatus::Unreadable);
}

TEST(EditorLanguage, FollowsTheProgramName) {
    const engine::LanguageInfo* english =
        dicteditor::LanguageForProgram("/opt/s/VW/VT/Kate/M16/bin/UserDicEng");
    ASSERT_TRUE(english);
    EXPECT_EQ(english->number, engine::kEnglish);
    EXPECT_FALSE(dicteditor::LanguageForProgram("UserDicEng.old"));
    EXPECT_EQ(dicteditor::ProgramDirForEditor(*english, "/opt/s/VW/VT/Kate/M16/bin/"), "/opt/s/");
}

}  // namespace
