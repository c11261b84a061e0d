#include "ReadingFixture.h"
#include "reading/CodePage.h"
#include "reading/FollowAlong.h"
#include "reading/ReadingCommands.h"
#include "reading/ShortcutReads.h"
#include "tests/fakes/FakeSelection.h"

namespace {

using reading::ShortcutReads;

class Shortcuts : public ReadingFixture {
  protected:
    FakeSelection selection;
    reading::ReadingCommands commands{view,
                                      engines,
                                      messages,
                                      {windows, clipboard, keys, pump, selection},
                                      [this] { return settings; },
                                      captureTimer,
                                      paused};
    ShortcutReads shortcuts{commands, selection, clipboard, keys, pump};

    void TickCommands() {
        for (int i = 0; i < 5 && view.timers.count(1); ++i) commands.controller.OnCaptureTimer(1);
    }
};

TEST_F(Shortcuts, SelectedTextIsSpokenAtOnceWithoutKeysOrClipboard) {
    clipboard.text = u"kept";
    selection.text = u"選択";
    keys.heldFor = 1000;  // the user still holds the chord: nothing waits for it
    paused = 1;

    shortcuts.ReadSelection();

    ASSERT_EQ(engines.Summary(), "Stop 7, Play 7");
    EXPECT_EQ(engines.calls[1].text, "\x91\x49\x91\xf0");  // 選択 in code page 932
    EXPECT_EQ(paused, 0);
    EXPECT_TRUE(keys.chords.empty());
    EXPECT_EQ(keys.heldQueries, 0);
    EXPECT_TRUE(pump.sleeps.empty());
    EXPECT_EQ(clipboard.text, u"kept");
    EXPECT_EQ(clipboard.openCalls + clipboard.emptyCalls, 0);
    EXPECT_TRUE(view.timers.empty());
}

// Furigana copied inline (門もん前ぜん) is read once wherever the copy comes from: the HTML
// beside the plain text marks base and reading, as in a capture through the copy chord.
TEST_F(Shortcuts, ASelectionOrClipboardWithRubyHtmlIsReadOnce) {
    const std::u16string inline_ = u"門もん前ぜん払いだ";
    const std::string html = "<p><ruby>門<rt>もん</rt>前<rt>ぜん</rt></ruby>払いだ</p>";
    auto cp932 = [](std::u16string_view text) {
        char out[64];
        return std::string(out, reading::WideToCodePage(932, text, out, sizeof out));
    };
    // Each row: read from the clipboard (else the selection), the language, the HTML offered,
    // and what the engine gets.
    const std::tuple<bool, int, std::optional<std::string>, std::string> rows[] = {
        {false, 7, html, cp932(u"｜門《もん》｜前《ぜん》払いだ")},
        {true, 7, html, cp932(u"｜門《もん》｜前《ぜん》払いだ")},
        {false, 8, html, "門前払いだ"},
        {true, 7, std::nullopt, cp932(inline_)},
        {false, 7, "<p>門もん前ぜん払いだ</p>", cp932(inline_)},
    };
    settings.autoLanguage = 1;
    for (const auto& [fromClipboard, language, offered, spoken] : rows) {
        SCOPED_TRACE(std::to_string(fromClipboard) + " " + std::to_string(language) + " " +
                     offered.value_or("-"));
        engines.calls.clear();
        settings.language = language;
        selection.text = inline_;
        selection.html = offered;
        selection.htmlReads = 0;
        clipboard.CopyFromOtherProgram(inline_);
        clipboard.html = offered;
        if (fromClipboard)
            ASSERT_TRUE(shortcuts.ReadClipboard());
        else
            shortcuts.ReadSelection();
        ASSERT_FALSE(engines.calls.empty());
        EXPECT_EQ(engines.calls.back().text, spoken);
        if (!fromClipboard) {
            EXPECT_EQ(selection.htmlReads, 1);
        }
    }
    // Text without kana has no readings: its HTML is never fetched.
    selection.text = u"門前";
    selection.htmlReads = 0;
    shortcuts.ReadSelection();
    EXPECT_EQ(selection.htmlReads, 0);
}

TEST_F(Shortcuts, WithoutSelectedTextTheButtonPathRunsOnceTheModifiersAreReleased) {
    for (const std::optional<std::u16string>& nothing :
         {std::optional<std::u16string>{}, std::optional<std::u16string>{u""}}) {
        SCOPED_TRACE(nothing ? "empty selection" : "no selection");
        engines.calls.clear();
        keys.chords.clear();
        keys.heldQueries = 0;
        keys.heldFor = 3;
        selection.text = nothing;
        EditorCopies(u"copied");

        shortcuts.ReadSelection();
        TickCommands();

        EXPECT_EQ(keys.chords, "c");
        EXPECT_EQ(keys.heldQueriesBeforeFirstChord, 4);  // three held, then released
        ASSERT_EQ(engines.Summary(), "Stop 7, Play 7");
        EXPECT_EQ(engines.calls[1].text, "copied");
    }

    // A key that never comes up delays the keys only so long.
    keys.chords.clear();
    keys.heldQueries = 0;
    keys.heldFor = 1 << 30;
    shortcuts.ReadAll();
    EXPECT_EQ(keys.chords, "ac");
    EXPECT_LE(keys.heldQueries,
              ShortcutReads::kReleaseWaitMs / ShortcutReads::kReleasePollMs + 1);
}

// The sentence and speed moves reach the engine through FollowAlong.
class FollowShortcuts : public Shortcuts {
  protected:
    int speed = 100;
    std::vector<std::pair<int, int>> kept;
    reading::FollowAlong follow{engines,
                                [this] {
                                    return reading::FollowAlong::Speed{7, speed, 50, 200};
                                },
                                paused,
                                [this](int language, int value) {
                                    kept.emplace_back(language, value);
                                    speed = value;
                                }};

    void Hear(int start, int end, int previous, int heardMs) {
        engine::HeardPosition h;
        h.sentenceStart = start;
        h.sentenceEnd = end;
        h.previousStart = previous;
        h.heardMs = heardMs;
        h.sentence = "文。";
        engines.heard = h;
        engines.calls.clear();
    }
    std::string Jumps() const {
        std::string s;
        for (const auto& c : engines.calls)
            if (c.op == "PlayFrom") s += (s.empty() ? "" : " ") + std::to_string(c.speed);
        return s;
    }
};

}  // namespace

TEST_F(FollowShortcuts, SentenceMovesJumpByTheHeardPositionWithoutCapturing) {
    follow.NextSentence();
    EXPECT_TRUE(engines.calls.empty()) << "nothing heard: nothing to move in";

    paused = 1;
    Hear(10, 24, 0, 3000);
    follow.NextSentence();
    EXPECT_EQ(Jumps(), "24");
    EXPECT_EQ(paused, 0) << "a move plays on, as a new reading does";
    EXPECT_TRUE(keys.chords.empty());
    EXPECT_EQ(clipboard.openCalls, 0);

    Hear(10, 24, 0, 3000);  // well into the sentence: back to its start
    follow.PreviousSentence();
    Hear(10, 24, 0, 400);  // just begun: the one before
    follow.PreviousSentence();
    const std::string backs = Jumps();
    Hear(0, 10, -1, 400);  // the first sentence: starts again
    follow.PreviousSentence();
    EXPECT_EQ(backs + " " + Jumps(), "0 0");
    Hear(10, 24, 0, 3000);
    follow.PreviousSentence();
    EXPECT_EQ(Jumps(), "10");
}

TEST_F(FollowShortcuts, SpeedStepsByTenWithinTheLimitsAndIsKept) {
    follow.Faster();
    follow.Slower();
    follow.Slower();
    EXPECT_EQ(kept, (std::vector<std::pair<int, int>>{{7, 110}, {7, 100}, {7, 90}}));
    speed = 195;
    kept.clear();
    engines.calls.clear();
    follow.Faster();
    follow.Faster();  // at the limit: nothing changes
    EXPECT_EQ(kept, (std::vector<std::pair<int, int>>{{7, 200}}));
    ASSERT_EQ(engines.Summary(), "SetSpeed 7");
    EXPECT_EQ(engines.calls[0].speed, 200);
}
