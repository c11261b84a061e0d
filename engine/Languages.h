#pragma once
// The four reading languages and every fact that differs between them, in one table.
// Language numbers 7 (Japanese) to 10 (Korean) are the only numbering at the interfaces;
// LanguageIndex derives the 0-based index where an array needs one.
//
// The build reads the first seven fields of each row (synth/CMakeLists.txt): keep every row
// on one line, in this order, with plain string literals.

#include <cstddef>
#include <span>

namespace engine {

inline constexpr int kJapanese = 7;
inline constexpr int kEnglish = 8;
inline constexpr int kChinese = 9;
inline constexpr int kKorean = 10;

struct LanguageInfo {
    int number;              // 7..10
    const char* name;        // also the registry subkey below SOFTWARE\Tarnholm\Selvarine
    const char* suffix;      // of the engine library's entry points, VT_PLAYTTS_JPN and so on
    const char* library;     // beside the program, without ".so"
    const char* voiceDir;    // below the program directory
    const char* defaultDic;  // below the voice directory
    const char* editor;      // the dictionary editor, in voiceDir/bin
    int speaker;             // speaker number handed to load, unload and play
    int readingTextForm;     // text form code when reading
    int testTextForm;        // text form code of the settings dialog's test
    int codePage;            // of the text handed to the engine (Chinese: GB; QZ is converted)
    const char* dicFailureMessage;  // shown when the user dictionary is refused
    bool dicMessageAfterWrite;      // the settings dialog shows it after writing (else before)
    int settingsDialog;             // resource of the voice settings dialog
    int languageBitmap;             // resource of its language-selection button image
    int faceCell;                   // skin cell of the toolbar's language button
    const char* nativeName;         // in the user interface: the language-selection caption
    int langselButton;              // control id of its language-selection button
    // The settings dialog's test sentence as UTF-8, when the dialog draws it itself; null
    // when the sentence is the text of its static control.
    const char* testSentence;
    // Font families for that drawn sentence, first installed one wins (comma-separated).
    const char* testSentenceFonts;
    const char* code;  // ISO 639-1, naming the language in the synthesiser's diagnostics
};

// clang-format off
inline constexpr LanguageInfo kLanguages[] = {
    {7, "Japanese", "JPN", "vt_jpn", "VW/VT/Miyu/M16", "data-common/userdict/userdict_jpn.csv", "UserDicJpn", 0, 2, 2, 932, "日本語ユーザ辞書の読み込みに失敗しました。", true, 140, 142, 13, "日本語", 1007, nullptr, nullptr, "ja"},
    {8, "English", "ENG", "vt_eng", "VW/VT/Kate/M16", "data-common/userdict/userdict_eng.csv", "UserDicEng", 0, 0, 3, 1252, "英語ユーザ辞書の読み込みに失敗しました。", false, 141, 151, 14, "英語", 1010, nullptr, nullptr, "en"},
    {9, "Chinese", "CHI", "vt_chi", "VW/VT/Hui/M16", "data-common/userdict/userdict_chi.csv", "UserDicChi", 2, 1, 1, 936, "中国語ユーザ辞書の読み込みに失敗しました。", false, 142, 150, 15, "中国語", 1011, "这是中文语音合成的测试。", "AR PL UMing CN,Noto Serif CJK SC", "zh"},
    {10, "Korean", "KOR", "vt_kor", "VW/VT/Yumi/M16", "data-common/userdict/userdict_kor.csv", "UserDicKor", 10, 0, 0, 949, "韓国語ユーザ辞書の読み込みに失敗しました。", true, 143, 152, 16, "韓国語", 1012, "이것은 한국어음성의 테스트입니다.", "UnBatang,Noto Serif CJK KR", "ko"},
};
// clang-format on

inline constexpr std::size_t kLanguageCount = std::size(kLanguages);

// 0..3 for languages 7..10, -1 for any other number.
constexpr int LanguageIndex(int number) {
    return number >= kJapanese && number <= kKorean ? number - kJapanese : -1;
}

// The row of language 7..10; null for any other number.
constexpr const LanguageInfo* FindLanguage(int number) {
    const int index = LanguageIndex(number);
    return index < 0 ? nullptr : &kLanguages[index];
}

constexpr bool IsEngineLanguage(int number) {
    return LanguageIndex(number) >= 0;
}

constexpr std::span<const LanguageInfo> Languages() {
    return kLanguages;
}

static_assert([] {
    for (std::size_t i = 0; i < kLanguageCount; ++i)
        if (LanguageIndex(kLanguages[i].number) != static_cast<int>(i)) return false;
    return true;
}());

}  // namespace engine
