#include "HexBytes.h"
#include "ReadingFixture.h"
#include "platform/Utf8.h"

namespace {

using Controller = ReadingFixture;

TEST_F(Controller, ReadsTheCopiedTextAndLeavesTheClipboardEmpty) {
    EditorCopies(u"日本語のテキスト");
    capture.OnReadSelection();
    paused = 1;
    Tick();

    ASSERT_EQ(engines.Summary(), "Stop 7, Play 7");
    const FakeEngineSet::Call& play = engines.calls[1];
    EXPECT_EQ(Hex(play.text), "93FA967B8CEA82CC8365834C83588367");
    EXPECT_EQ(play.window, static_cast<std::intptr_t>(kToolbar));
    EXPECT_EQ(play.speaker, 0);
    EXPECT_EQ(play.pitch, 90);
    EXPECT_EQ(play.speed, 110);
    EXPECT_EQ(play.volume, 100);
    EXPECT_EQ(play.textForm, 2);
    EXPECT_FALSE(clipboard.text.has_value());
    EXPECT_FALSE(clipboard.isOpen);
    EXPECT_TRUE(view.timers.empty());
    EXPECT_EQ(captureTimer, 0);
    EXPECT_EQ(paused, 0);
    EXPECT_EQ(g_bClipboardChanged, 1);  // cleared only by the next read command
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(Controller, TicksBeforeTheCopyDoNothing) {
    capture.OnReadSelection();
    clipboard.text = u"stale";  // present, but no change seen since arming
    Tick(3);
    EXPECT_TRUE(engines.calls.empty());
    EXPECT_EQ(view.timers.count(1), 1u);
    EXPECT_EQ(clipboard.openCalls, 1);  // only the read command's own
    clipboard.CopyFromOtherProgram(u"now");
    Tick();
    EXPECT_EQ(engines.Summary(), "Stop 7, Play 7");
}

TEST_F(Controller, ConversionPerLanguage) {
    struct Case {
        int language, chiCodepage;
        std::u16string text;
        const char* hex;
        int speaker, textForm;
    };
    const Case cases[] = {
        {8, 0, u"Hello café", "48656C6C6F20636166E9", 0, 0},
        {8, 0, u"日本 ok", "3F3F206F6B", 0, 0},  // Japanese read as English: default characters
        {9, 0, u"中文", "D6D0CEC4", 2, 1},
        {9, 2, u"中文", "D6D0CEC4", 2, 1},  // Big5 setting reads like GB
        // QZ: the clipboard text's code page 932 bytes go through the QZ conversion.
        {9, 1, u"\u4E9C\uFF71a", "B0A1A8AC61", 2, 1},
        {9, 3, u"\u4E9C", "B0A1", 2, 1},
        {10, 0, u"한국어", "C7D1B1B9BEEE", 10, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language * 10 + c.chiCodepage);
        engines.calls.clear();
        settings.language = c.language;
        settings.chiCodepage = c.chiCodepage;
        EditorCopies(c.text);
        capture.OnReadSelection();
        Tick();
        ASSERT_EQ(engines.calls.size(), 2u);
        EXPECT_EQ(engines.calls[0].op, "Stop");
        EXPECT_EQ(engines.calls[0].language, c.language);
        EXPECT_EQ(engines.calls[1].op, "Play");
        EXPECT_EQ(engines.calls[1].language, c.language);
        EXPECT_EQ(Hex(engines.calls[1].text), c.hex);
        EXPECT_EQ(engines.calls[1].speaker, c.speaker);
        EXPECT_EQ(engines.calls[1].textForm, c.textForm);
    }
}

TEST_F(Controller, AutoLanguageSendsMixedSelectionsAsUtf8AndTheRestThroughTheCodePage) {
    struct Case {
        int language, chiCodepage, autoLanguage;
        std::u16string text;
        const char* op;
        const char* bytes;  // hex for Play, UTF-8 for PlayUtf8
    };
    const Case cases[] = {
        {7, 0, 1, std::u16string(u"ソウルで안녕と\0言った", 11), "PlayUtf8", "ソウルで안녕と"},
        {8, 0, 1, u"日本 ok", "PlayUtf8", "日本 ok"},
        {10, 0, 1, u"韓國語는", "PlayUtf8", "韓國語는"},
        // The chosen language's script alone, or the switch off: the code page, as before.
        {7, 0, 1, u"日本語のテキスト", "Play", "93FA967B8CEA82CC8365834C83588367"},
        {7, 0, 0, u"で안녕", "Play", "82C53F3F"},
        {8, 0, 0, u"日本 ok", "Play", "3F3F206F6B"},
        {9, 1, 1, u"\u4E9C\uFF71a", "Play", "B0A1A8AC61"},  // QZ conversion kept
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(utf8::FromUtf16(c.text));
        engines.calls.clear();
        settings.language = c.language;
        settings.chiCodepage = c.chiCodepage;
        settings.autoLanguage = c.autoLanguage;
        for (int k = 0; k < 4; ++k) settings.voices[k] = {100 + k, 110 + k, 120 + k};
        EditorCopies(c.text);
        capture.OnReadSelection();
        paused = 1;
        Tick();
        ASSERT_EQ(engines.calls.size(), 2u);
        EXPECT_EQ(engines.calls[0].op + " " + std::to_string(engines.calls[0].language),
                  "Stop " + std::to_string(c.language));
        const FakeEngineSet::Call& play = engines.calls[1];
        EXPECT_EQ(play.op, c.op);
        EXPECT_EQ(play.language, c.language);
        EXPECT_EQ(play.op == "Play" ? Hex(play.text) : play.text, c.bytes);
        EXPECT_EQ(play.speaker, engine::FindLanguage(c.language)->speaker);
        if (play.op == "PlayUtf8") {
            ASSERT_EQ(play.prosody.size(), 4u);
            EXPECT_EQ(play.prosody[3].pitch, 103);
            EXPECT_EQ(play.prosody[3].speed, 113);
            EXPECT_EQ(play.prosody[3].volume, 123);
        }
        EXPECT_EQ(paused, 0);
        EXPECT_FALSE(clipboard.text.has_value());
    }
}

TEST_F(Controller, KoreanTextFillsTheWholeBuffer) {
    // Hangul is one default byte in code page 932 but two bytes in 949: the 2n + 2 buffer is
    // exactly what it takes. Sanitizers catch any overrun.
    settings.language = 10;
    std::u16string text(50'000, u'한');
    EditorCopies(text);
    capture.OnReadSelection();
    Tick();
    ASSERT_EQ(engines.calls.size(), 2u);
    EXPECT_EQ(engines.calls[1].text.size(), 100'000u);
}

TEST_F(Controller, BitmapOnlyClipboardEndsWithTheExtractionMessage) {
    EditorCopies(std::nullopt);
    capture.OnReadSelection();
    const long long before = pump.nowMs;
    bool timerRunningDuringBox = true;
    messages.onShow = [&] { timerRunningDuringBox = view.timers.count(1) > 0; };
    Tick();
    EXPECT_EQ(pump.nowMs - before, 5500);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "読み上げるテキストが抽出できませんでした。テキストを範囲指定して読み上げボタンをクリ"
              "ックしてください。");
    EXPECT_FALSE(timerRunningDuringBox);
    EXPECT_EQ(captureTimer, 0);
    EXPECT_TRUE(clipboard.hasOtherData);  // clipboard untouched
    EXPECT_TRUE(engines.calls.empty());
}

TEST_F(Controller, StopOrCloseDuringTheTextWaitsEndsTheCaptureAtOnceWithoutAMessage) {
    const std::pair<const char*, std::function<void()>> endings[] = {
        {"stop", [this] { playback.OnStop(); }},
        {"close", [this] { capture.EndCapture(); }},
    };
    for (const auto& [name, end] : endings) {
        SCOPED_TRACE(name);
        EditorCopies(std::nullopt);  // a picture, no text
        capture.OnReadSelection();
        const long long start = pump.nowMs;
        pump.onDrain = [&, end = end] {
            if (pump.nowMs - start >= 1200) end();
        };
        Tick();
        pump.onDrain = nullptr;
        EXPECT_LT(pump.nowMs - start, 1200 + 50);
        EXPECT_TRUE(messages.shown.empty());
        EXPECT_FALSE(view.timers.count(1));
        EXPECT_EQ(captureTimer, 0);
    }
    EXPECT_EQ(engines.Summary(), "Stop 7");  // the stop button's own, nothing read
}

TEST_F(Controller, TextWithNothingToSayEndsWithTheExtractionMessage) {
    EditorCopies(std::u16string{u'\0', u'\0', u'\x01', u'\t', u'\x7f', u'\u3000'});
    capture.OnReadSelection();
    Tick();
    EXPECT_TRUE(engines.calls.empty());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text.substr(0, 6), "読み");
    EXPECT_EQ(captureTimer, 0);
}

TEST_F(Controller, TextArrivingDuringTheWaitsIsRead) {
    EditorCopies(std::nullopt);
    capture.OnReadSelection();
    clipboard.textAppearsAfterChecks = 4;  // the initial check and three waits
    clipboard.lateText = u"slow";
    const long long before = pump.nowMs;
    Tick();
    EXPECT_EQ(pump.nowMs - before, 1500);
    ASSERT_EQ(engines.Summary(), "Stop 7, Play 7");
    EXPECT_EQ(engines.calls[1].text, "slow");
}

TEST_F(Controller, FailureEndings) {
    {
        SCOPED_TRACE("clipboard cannot be opened");
        EditorCopies(u"abc");
        capture.OnReadSelection();
        clipboard.failOpen = true;
        Tick();
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, "クリップボードがオープンできません。");
        EXPECT_EQ(captureTimer, 0);
        EXPECT_TRUE(view.timers.empty());
        clipboard.failOpen = false;
    }
    {
        SCOPED_TRACE("text cannot be obtained");
        capture.OnReadSelection();
        clipboard.CopyFromOtherProgram(u"abc");
        clipboard.failGetText = true;
        Tick();
        ASSERT_EQ(messages.shown.size(), 2u);
        EXPECT_EQ(messages.shown[1].text.substr(0, 6), "読み");
        EXPECT_FALSE(clipboard.isOpen);
        EXPECT_EQ(captureTimer, 0);
    }
    EXPECT_TRUE(engines.calls.empty());
}

TEST_F(Controller, EmptyTextEndsSilentlyAndTheNextReadWorks) {
    EditorCopies(u"");
    capture.OnReadSelection();
    Tick();
    EXPECT_TRUE(engines.calls.empty());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(view.timers.empty());
    EXPECT_EQ(captureTimer, 0);
    EXPECT_FALSE(clipboard.isOpen);

    EditorCopies(u"again");
    capture.OnReadSelection();
    EXPECT_EQ(view.setTimerCalls, 2);
    Tick();
    EXPECT_EQ(engines.Summary(), "Stop 7, Play 7");
}

TEST_F(Controller, MalformedAndEmbeddedZeroText) {
    EditorCopies(std::u16string{u'a', char16_t(0xD800), u'b', u'\0', u'c'});
    capture.OnReadSelection();
    Tick();
    ASSERT_EQ(engines.calls.size(), 2u);
    EXPECT_EQ(engines.calls[1].text, "a?b");
}

TEST_F(Controller, LanguageOutsideTheEnginesEndsSilently) {
    settings.language = 3;
    EditorCopies(u"abc");
    capture.OnReadSelection();
    Tick();
    EXPECT_TRUE(engines.calls.empty());
    EXPECT_FALSE(clipboard.text.has_value());
    EXPECT_EQ(captureTimer, 0);
}

TEST_F(Controller, PauseResumeAndStop) {
    playback.OnPauseResume();
    playback.OnPauseResume();
    EXPECT_EQ(engines.Summary(), "Pause 7, Restart 7");
    EXPECT_EQ(paused, 0);

    engines.calls.clear();
    playback.OnPauseResume();
    playback.OnStop();
    EXPECT_EQ(paused, 0);
    playback.OnPauseResume();  // pauses again after a stop
    EXPECT_EQ(engines.Summary(), "Pause 7, Stop 7, Pause 7");
    EXPECT_EQ(paused, 1);

    engines.calls.clear();
    settings.language = 0;  // no engine: the flag still toggles
    playback.OnPauseResume();
    playback.OnStop();
    EXPECT_TRUE(engines.calls.empty());
    EXPECT_EQ(paused, 0);
}

TEST_F(Controller, StopDoesNotCancelAWaitingCaptureAndANewReadingForgetsThePause) {
    capture.OnReadSelection();  // nothing copied yet
    playback.OnPauseResume();
    playback.OnStop();
    playback.OnPauseResume();
    EXPECT_EQ(paused, 1);
    EXPECT_EQ(view.timers.count(1), 1u);
    EXPECT_EQ(captureTimer, 1);
    clipboard.CopyFromOtherProgram(u"late text");
    Tick();
    EXPECT_EQ(engines.Summary(), "Pause 7, Stop 7, Pause 7, Stop 7, Play 7");
    EXPECT_EQ(engines.calls.back().text, "late text");
    EXPECT_EQ(paused, 0);
}

}  // namespace
