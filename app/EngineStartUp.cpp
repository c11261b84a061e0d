// The toolbar's start of the four speech engines, and the language it then reads with.

#include "app/CBrisoletDlg.h"
#include "engine/EngineStartup.h"
#include "settings/Globals.h"
#include "settings/SettingsStore.h"

void CBrisoletDlg::StartEngines() {
    // One failed start must not keep the others from starting.
    if (StartJapaneseEngine()) g_bEngineLoaded[engine::kJapanese] = 1;
    if (StartEnglishEngine()) g_bEngineLoaded[engine::kEnglish] = 1;
    if (StartChineseEngine()) g_bEngineLoaded[engine::kChinese] = 1;
    if (StartKoreanEngine()) g_bEngineLoaded[engine::kKorean] = 1;
    ChooseUsableLanguage();
}

void CBrisoletDlg::ChooseUsableLanguage() {
    int first = engine::kJapanese;
    for (int n = engine::kJapanese; n <= engine::kKorean; ++n) {
        if (g_bEngineLoaded[n]) {
            first = n;
            break;
        }
    }
    if (g_nLanguage < 0 || g_nLanguage > 10 || !g_bEngineLoaded[g_nLanguage]) {
        g_nLanguage = first;
        settings::SaveLanguage(m_svc.hive, g_nLanguage);
    }
}

int CBrisoletDlg::StartEngineFor(int language, const std::string& userDicPath) {
    engine::StartContext ctx{m_svc.engines, m_svc.messages,
                             static_cast<std::intptr_t>(m_view.NativeWindow()), g_szAppDir,
                             kProgramTitle};
    return engine::StartEngine(ctx, language, userDicPath);
}

int CBrisoletDlg::StartJapaneseEngine() {
    return StartEngineFor(engine::kJapanese, m_strUserDicJpn);
}
int CBrisoletDlg::StartEnglishEngine() {
    return StartEngineFor(engine::kEnglish, m_strUserDicEng);
}
int CBrisoletDlg::StartChineseEngine() {
    return StartEngineFor(engine::kChinese, m_strUserDicChi);
}
int CBrisoletDlg::StartKoreanEngine() {
    return StartEngineFor(engine::kKorean, m_strUserDicKor);
}
