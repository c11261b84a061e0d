#include "reading/SaveSpeechCommand.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "HexBytes.h"
#include "ReadingFixture.h"
#include "reading/Messages.h"
#include "tests/fakes/FakeFileDialogs.h"

namespace {

namespace fs = std::filesystem;

class SaveSpeech : public ReadingFixture {
  protected:
    void SetUp() override {
        ReadingFixture::SetUp();
        dir = fs::temp_directory_path() / ("selvarine-save-test-" + std::to_string(getpid()));
        fs::create_directories(dir);
        controller.SaveTextWith([this](const std::u16string& text) { save.Save(text); });
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string At(const std::string& name) const { return (dir / name).string(); }
    std::vector<FakeEngineSet::Call> Saves() const {
        std::vector<FakeEngineSet::Call> out;
        for (const auto& c : engines.calls)
            if (c.op == "SaveToFile") out.push_back(c);
        return out;
    }

    fs::path dir;
    FakeFileDialogs dialogs;
    reading::SaveSpeechCommand save{
        engines, messages, dialogs, pump, [this] { return settings; }, paused, "/home/someone"};
};

TEST(SaveTarget, TheExtensionNamesTheFormatAndAnyOtherNameBecomesWav) {
    const struct {
        const char* chosen;
        const char* path;
        int format;
    } cases[] = {
        {"/m/speech", "/m/speech.wav", VT_SAVE_WAV},
        {"/m/speech.wav", "/m/speech.wav", VT_SAVE_WAV},
        {"/m/Speech.FLAC", "/m/Speech.FLAC", VT_SAVE_FLAC},
        {"/m/a.b.ogg", "/m/a.b.ogg", VT_SAVE_OGG_VORBIS},
        {"/m/talk.Mp3", "/m/talk.Mp3", VT_SAVE_MP3},
        {"/m/notes.txt", "/m/notes.txt.wav", VT_SAVE_WAV},
        {"/m/.flac", "/m/.flac.wav", VT_SAVE_WAV},              // a hidden name, not an extension
        {"/m.flac/speech", "/m.flac/speech.wav", VT_SAVE_WAV},  // the folder's dot does not count
        {"第1章.版2", "第1章.版2.wav", VT_SAVE_WAV},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen);
        const reading::SaveTarget target = reading::ResolveSaveTarget(c.chosen);
        EXPECT_EQ(target.path, c.path);
        EXPECT_EQ(target.format, c.format);
    }
}

TEST_F(SaveSpeech, TheCapturedSelectionIsSavedNotSpokenAndTheNextReadSpeaks) {
    EditorCopies(u"日本語のテキスト");
    dialogs.paths = {At("speech")};
    engines.saveStatuses = {VT_SAVE_RUNNING, VT_SAVE_RUNNING, VT_SAVE_DONE};
    engines.savePermille = 400;
    paused = 1;
    capture.OnSaveSelection();
    Tick();

    ASSERT_EQ(engines.Summary(), "Stop 7, SaveToFile 7");
    const FakeEngineSet::Call& call = engines.calls[1];
    EXPECT_EQ(Hex(call.text), "93FA967B8CEA82CC8365834C83588367");  // as a play would have it
    EXPECT_EQ(call.path, At("speech.wav"));
    EXPECT_EQ(call.format, VT_SAVE_WAV);
    EXPECT_EQ(call.pitch, 90);
    EXPECT_EQ(call.speed, 110);
    EXPECT_EQ(call.volume, 100);
    EXPECT_EQ(dialogs.asked, std::vector<std::string>{"音声ファイルに保存 @/home/someone"});
    EXPECT_EQ(dialogs.filters, (std::vector<std::string>{"WAV (*.wav)", "FLAC (*.flac)",
                                                         "Ogg Vorbis (*.ogg)", "MP3 (*.mp3)"}));
    EXPECT_EQ(dialogs.progressTexts, std::vector<std::string>{"「speech.wav」に保存しています..."});
    EXPECT_FALSE(dialogs.progressOpen);
    EXPECT_FALSE(dialogs.permilles.empty());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(clipboard.text.has_value());
    EXPECT_TRUE(view.timers.empty());
    EXPECT_EQ(paused, 0);

    // The save was this capture's only: the next read speaks, and the dialog opens where the
    // last file went.
    engines.calls.clear();
    capture.OnReadSelection();
    Tick();
    EXPECT_EQ(engines.Summary(), "Stop 7, Play 7");
    dialogs.paths = {std::nullopt};
    capture.OnSaveSelection();
    Tick();
    EXPECT_EQ(dialogs.asked.back(), "音声ファイルに保存 @" + dir.string());
}

TEST_F(SaveSpeech, AnExistingFileIsAskedAboutAndAFailedSaveAsksForAnotherPlace) {
    std::ofstream(At("old.flac")) << "kept";
    dialogs.paths = {At("old.flac"), At("old.flac"), At("x"), At("new.ogg"), At("new")};
    dialogs.answers = {false, true};
    engines.saveResults = {VT_SAVE_DISK_FULL, VT_SAVE_CANNOT_CREATE};
    engines.saveStatuses = {VT_SAVE_DONE};
    fs::create_directory(At("x.wav"));
    save.Save(u"text");

    EXPECT_EQ(dialogs.questions,
              std::vector<std::string>(2, "「old.flac」は既にあります。\n上書きしますか?"));
    const auto saves = Saves();
    ASSERT_EQ(saves.size(), 3u);  // No asked again; the folder "x.wav" was refused
    EXPECT_EQ(saves[0].path, At("old.flac"));
    EXPECT_EQ(saves[0].format, VT_SAVE_FLAC);
    EXPECT_EQ(saves[1].path, At("new.ogg"));
    EXPECT_EQ(saves[1].format, VT_SAVE_OGG_VORBIS);
    EXPECT_EQ(saves[2].path, At("new.wav"));
    ASSERT_EQ(messages.shown.size(), 3u);
    EXPECT_EQ(messages.shown[0].text, reading::kMsgSaveDiskFull);
    EXPECT_NE(messages.shown[1].text.find("「x.wav」はフォルダーです"), std::string::npos);
    EXPECT_NE(messages.shown[2].text.find("フォルダー「" + dir.string() + "」に書き込めません"),
              std::string::npos);
    EXPECT_EQ(messages.shown[0].caption, "音声ファイルに保存");
    EXPECT_EQ(dialogs.asked.size(), 5u);  // the last save, done, asks no more
    EXPECT_TRUE(dialogs.paths.empty());
}

TEST_F(SaveSpeech, CancelStopOrCloseEndsTheSaveWithoutAWord) {
    engines.saveStatuses = {VT_SAVE_RUNNING};
    const std::function<void()> ends[] = {
        [this] { dialogs.cancelNow = true; },  // the progress window's button
        [this] { capture.EndCapture(); },      // stop or close
    };
    for (const auto& end : ends) {
        engines.calls.clear();
        dialogs.cancelNow = false;
        dialogs.paths = {At("long.mp3")};
        int drains = 0;
        pump.onDrain = [&] {
            if (++drains == 5) end();
        };
        save.Save(u"a long text");
        EXPECT_EQ(engines.Summary(), "Stop 7, SaveToFile 7, Stop 7");
        EXPECT_FALSE(dialogs.progressOpen);
        EXPECT_TRUE(messages.shown.empty());
        EXPECT_EQ(dialogs.asked.size(), 1u);
        dialogs.asked.clear();
    }
}

// A file we may not write is replaced only after a question naming that; the yes reaches the
// engine with the save. A reading that takes the save's place says the save is gone.
TEST_F(SaveSpeech, AReadOnlyFileNeedsItsOwnYesAndAReadingThatEndsTheSaveSaysSo) {
    std::ofstream(At("ro.wav")) << "kept";
    dialogs.paths = {At("ro.wav"), At("ro.wav")};
    dialogs.answers = {true, false, true, true};
    engines.saveResults = {VT_SAVE_READ_ONLY, VT_SAVE_READ_ONLY, VT_SAVE_RUNNING};
    engines.saveStatuses = {VT_SAVE_RUNNING};
    int drains = 0;
    pump.onDrain = [&] {
        if (++drains != 3) return;
        controller.SpeakText(u"something else");
        engines.saveStatuses = {VT_SAVE_CANCELLED};
    };
    save.Save(u"text");

    const std::string exists = "「ro.wav」は既にあります。\n上書きしますか?";
    const std::string readOnly = "「ro.wav」は読み取り専用です。\n上書きしますか?";
    EXPECT_EQ(dialogs.questions, (std::vector<std::string>{exists, readOnly, exists, readOnly}));
    const auto saves = Saves();
    ASSERT_EQ(saves.size(), 3u);
    EXPECT_EQ(saves[1].format, VT_SAVE_WAV);
    EXPECT_EQ(saves[2].format, VT_SAVE_WAV | VT_SAVE_REPLACE_READ_ONLY);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, reading::kMsgSaveStoppedByReading);
}

}  // namespace
