#include "tests/dialogs/DialogFixture.h"

#include "dialogs/DialogLayout.h"

using namespace dialogs;

namespace {

TEST(NumberParse, ReadsLikeAtoiOnTheFirst19Characters) {
    const struct {
        const char* text;
        long long value;
    } rows[] = {{"", 0},
                {"120abc", 120},
                {"  -7x", -7},
                {"+50", 50},
                {"abc", 0},
                {"\t 3", 3},
                {"1 2", 1},
                {"--5", 0},
                {"00000000000000000012", 1}};  // the 20th character is not read
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(ParseNumber(row.text), row.value);
    }
    // Huge numbers stay far out of every range instead of wrapping into one.
    EXPECT_GT(ParseNumber("9999999999999999999"), 1LL << 31);
    EXPECT_LT(ParseNumber("-9999999999999999999"), -(1LL << 31));
}

using VoiceDialogTest = DialogFixture;

TEST_F(VoiceDialogTest, SlidersTakeTheEngineBoundsAndTheStoredValues) {
    g_voiceJpn = {600, 120, 90};  // volume beyond the engine's maximum
    auto dlg = Open(engine::kJapanese, "/x.csv");
    const auto& v = m_view.sliders[kSliderVolume];
    const auto& s = m_view.sliders[kSliderSpeed];
    const auto& p = m_view.sliders[kSliderPitch];
    EXPECT_EQ((std::vector{v.lower, v.upper, v.tick, v.pos}), (std::vector{0, 500, 50, 500}));
    EXPECT_EQ((std::vector{s.lower, s.upper, s.tick, s.pos}), (std::vector{50, 250, 20, 120}));
    EXPECT_EQ((std::vector{p.lower, p.upper, p.tick, p.pos}), (std::vector{50, 200, 15, 90}));
    EXPECT_EQ(m_view.texts[kEditVolume], "600");  // shown unchanged, not validated
    EXPECT_EQ(m_view.texts[kEditUserDicPath], "/x.csv");
}

TEST_F(VoiceDialogTest, LeavingANumberMovesItsSliderOrShowsTheRange) {
    auto dlg = Open(engine::kJapanese, "");
    m_view.texts[kEditVolume] = "";
    dlg->OnKillFocusVolume();
    EXPECT_EQ(m_view.sliders[kSliderVolume].pos, 0);
    m_view.texts[kEditSpeed] = "120abc";
    dlg->OnKillFocusSpeed();
    EXPECT_EQ(m_view.sliders[kSliderSpeed].pos, 120);
    EXPECT_TRUE(m_messages.shown.empty());

    m_view.texts[kEditSpeed] = "";
    dlg->OnKillFocusSpeed();
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text, "50-250の範囲で値を設定してください。");
    EXPECT_EQ(m_messages.shown[0].caption, "スピード");
    EXPECT_EQ(m_messages.shown[0].kind, platform::MessageKind::RangeExclamation);
    EXPECT_EQ(m_view.texts[kEditSpeed], "120");  // back to the slider

    m_view.texts[kEditPitch] = "201";
    dlg->OnKillFocusPitch();
    EXPECT_EQ(m_messages.shown.back().caption, "ピッチ");
    EXPECT_EQ(m_view.texts[kEditPitch], "100");
}

TEST_F(VoiceDialogTest, DefaultsAndScrollsShowInTheEditsButStoreNothing) {
    g_voiceEng = {300, 200, 150};
    auto dlg = Open(engine::kEnglish, "");
    m_view.sliders[kSliderPitch].pos = 77;
    dlg->OnHScroll(kSliderPitch);
    EXPECT_EQ(m_view.texts[kEditPitch], "77");
    dlg->OnDefaults();
    EXPECT_EQ(m_view.texts[kEditVolume] + m_view.texts[kEditSpeed] + m_view.texts[kEditPitch],
              "100100100");
    EXPECT_EQ(g_voiceEng.volume, 300);
    dlg->OnCancel();
    EXPECT_EQ(m_view.endResult, kIdCancel);
    EXPECT_EQ(g_voiceEng.volume, 300);
    EXPECT_EQ(Dword(engine::kEnglish, "volume"), 100u);
    EXPECT_TRUE(m_engines.calls.empty());
}

TEST_F(VoiceDialogTest, TestSpeaksTheSlidersWithTheDialogsOwnSentenceAndCodes) {
    auto eng = Open(engine::kEnglish, "");
    m_view.texts[kStaticTestSentence] = "A test of English speech synthesis.";
    m_view.sliders[kSliderVolume].pos = 250;
    m_view.texts[kEditVolume] = "400";  // the edits are not read
    eng->OnTest();
    ASSERT_EQ(m_engines.Summary(), "Stop 8, Play 8");
    const auto& e = m_engines.calls[1];
    EXPECT_EQ(e.text, "A test of English speech synthesis.");
    EXPECT_EQ((std::vector{e.speaker, e.textForm, e.volume, e.speed, e.pitch}),
              (std::vector{0, 3, 250, 100, 100}));
    EXPECT_EQ(e.window, 0x2000);

    m_engines.calls.clear();
    g_nChiCodepage = 3;
    auto chi = Open(engine::kChinese, "");
    EXPECT_EQ(m_view.texts[kStaticTestSentence], "这是中文语音合成的测试。");  // drawn
    EXPECT_EQ(m_view.sentenceFonts, "AR PL UMing CN,Noto Serif CJK SC");
    chi->OnTest();
    const auto& c = m_engines.calls.back();
    EXPECT_EQ(c.text.size(), 24u);               // GB2312, whatever character code is chosen
    EXPECT_EQ(c.text.substr(0, 2), "\xD5\xE2");  // 这
    EXPECT_EQ((std::vector{c.speaker, c.textForm}), (std::vector{2, 1}));

    auto kor = Open(engine::kKorean, "");
    kor->OnTest();
    EXPECT_EQ(m_engines.calls.back().text.size(), 33u);  // code page 949
    EXPECT_EQ(m_engines.calls.back().speaker, 10);
}

TEST_F(VoiceDialogTest, OkStoresValuesInBoundsAndWritesThemWithTheDictionary) {
    g_voiceJpn = {100, 100, 100};
    const std::string dic = MakeFile("my dic.csv", "東京,とうきょう\n");
    auto dlg = Open(engine::kJapanese, m_paths[0]);
    dlg->m_userDicPath = dic;
    m_view.texts[kEditVolume] = "50";
    m_view.texts[kEditSpeed] = "300";  // above 250: dropped silently
    m_view.texts[kEditPitch] = "-5";
    m_view.sliders[kSliderSpeed].pos = 180;
    dlg->OnOK();
    EXPECT_EQ(g_voiceJpn.volume, 50);
    EXPECT_EQ(g_voiceJpn.speed, 100);
    EXPECT_EQ(g_voiceJpn.pitch, 100);
    EXPECT_TRUE(m_messages.shown.empty());
    EXPECT_EQ(m_engines.Summary(), "UnloadUserDict 7, LoadUserDict 7");
    EXPECT_EQ(m_engines.calls[1].text, dic);
    EXPECT_EQ(Dword(engine::kJapanese, "volume"), 50u);
    EXPECT_EQ(StoredPath(engine::kJapanese), dic);
    EXPECT_EQ(dlg->m_speed, 180);  // the framework's exchange: the sliders
    EXPECT_EQ(m_view.endResult, kIdOk);

    // A negative pitch goes out as its 16 bits.
    g_pitchMin = -100;
    auto again = Open(engine::kJapanese, dic);
    m_view.texts[kEditPitch] = "-5";
    again->OnOK();
    EXPECT_EQ(Dword(engine::kJapanese, "pitch"), 0xFFFBu);
}

TEST_F(VoiceDialogTest, AnEmptyDictionaryCountsAsLoadedWithoutReachingTheEngine) {
    const std::string empty = MakeFile("empty.csv", "");
    auto dlg = Open(engine::kKorean, empty);
    dlg->OnOK();
    EXPECT_EQ(m_engines.Summary(), "UnloadUserDict 10");
    EXPECT_EQ(StoredPath(engine::kKorean), empty);
    EXPECT_TRUE(m_messages.shown.empty());
}

// A refused dictionary: the values are still written, the path is not, the language's message
// shows before or after the write, and the dictionary that was in force stays in force.
TEST_F(VoiceDialogTest, ARefusedDictionaryKeepsThePreviousOneInEveryLanguage) {
    for (const engine::LanguageInfo& lang : engine::Languages()) {
        SCOPED_TRACE(lang.name);
        m_messages.shown.clear();
        m_engines.calls.clear();
        const std::string previous = MakeFile("previous.csv", "a,b\n");
        const std::string refused = MakeFile("refused.csv", "a,b\n");
        auto dlg = Open(lang.number, previous);
        dlg->m_userDicPath = refused;
        m_view.texts[kEditVolume] = "321";
        m_engines.userDictResult = 0;
        std::optional<std::uint32_t> volumeWhenShown;
        m_messages.onShow = [&] { volumeWhenShown = Dword(lang.number, "volume"); };
        const std::string storedBefore = StoredPath(lang.number);
        dlg->OnOK();
        m_messages.onShow = nullptr;
        m_engines.userDictResult = 1;

        ASSERT_EQ(m_messages.shown.size(), 1u);
        EXPECT_EQ(m_messages.shown[0].text, lang.dicFailureMessage);
        EXPECT_EQ(m_messages.shown[0].kind, platform::MessageKind::AppExclamation);
        EXPECT_EQ(volumeWhenShown == 321u, lang.dicMessageAfterWrite);
        EXPECT_EQ(Dword(lang.number, "volume"), 321u);
        EXPECT_EQ(StoredPath(lang.number), storedBefore);
        EXPECT_EQ(m_engines.Summary(), "UnloadUserDict " + std::to_string(lang.number) +
                                           ", LoadUserDict " + std::to_string(lang.number) +
                                           ", LoadUserDict " + std::to_string(lang.number));
        EXPECT_EQ(m_engines.calls.back().text, previous);
        EXPECT_EQ(dlg->m_userDicPath, previous);
        EXPECT_EQ(m_view.endResult, kIdOk);
    }
}

TEST_F(VoiceDialogTest, ChineseTakesTheSelectedCharacterCode) {
    g_nChiCodepage = 1;
    auto dlg = Open(engine::kChinese, "");
    EXPECT_EQ(m_view.checked, 1004);
    m_view.checked = 1009;
    dlg->OnOK();
    EXPECT_EQ(g_nChiCodepage, 3);
    EXPECT_EQ(static_cast<MODE_C&>(*dlg).m_codePageIndex, 3);

    g_nChiCodepage = 7;  // a stored value no button stands for
    auto none = Open(engine::kChinese, "");
    EXPECT_EQ(m_view.checked, 0);
    none->OnOK();
    EXPECT_EQ(g_nChiCodepage, 7);
    EXPECT_EQ(static_cast<MODE_C&>(*none).m_codePageIndex, -1);
}

TEST(VoiceSettingsLayouts, EveryDialogHoldsTheControlsItsLogicUses) {
    const LayoutSet& set = VoiceSettingsLayouts();
    for (const engine::LanguageInfo& lang : engine::Languages()) {
        SCOPED_TRACE(lang.name);
        const DialogLayout* d = set.Find(lang.settingsDialog);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->title, "設定");
        for (int id : {kIdOk, kIdCancel, kSliderVolume, kSliderSpeed, kSliderPitch, kEditVolume,
                       kEditSpeed, kEditPitch, kButtonDefaults, kButtonTest, kStaticTestSentence,
                       kEditUserDicPath, kButtonBrowse, kButtonEditUserDic})
            EXPECT_NE(d->Find(id), nullptr) << id;
        for (int id : kCodePageButtons)
            EXPECT_EQ(d->Find(id) != nullptr, lang.number == engine::kChinese) << id;
        for (const ControlLayout& c : d->controls) {
            EXPECT_LE(c.x + c.width, d->width) << c.id;
            EXPECT_LE(c.y + c.height, d->height) << c.id;
        }
        EXPECT_EQ(d->Find(kStaticTestSentence)->text.empty(), lang.testSentence != nullptr);
    }
    LayoutSet broken;
    std::string error;
    EXPECT_FALSE(ParseLayouts("dialog 1 2 3 \"x\"\nslider 10 1 2 3\n", &broken, &error));
    EXPECT_EQ(error, "line 2: slider 10 1 2 3");
}

}  // namespace
