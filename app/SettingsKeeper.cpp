#include "app/SettingsKeeper.h"

#include "settings/Globals.h"
#include "settings/SettingsStore.h"
#include "settings/VoiceChoice.h"

namespace {

constexpr const char* kSettingsNotKeptMessage =
    "設定を保存できませんでした。変更はツールバーを閉じるまでの間だけ有効です。";

}  // namespace

SettingsKeeper::SettingsKeeper(platform::RegistryHive& hive, platform::MessageBox& messages,
                               std::function<void(const std::string&)> report,
                               std::function<void(int)> arm, std::function<std::int64_t()> nowMs)
    : m_hive(hive),
      m_messages(messages),
      m_report(std::move(report)),
      m_writes([this] { Write(); }, std::move(arm), std::move(nowMs)) {}

void SettingsKeeper::Write() {
    const bool userChange = m_bUserChangePending;
    m_bUserChangePending = false;
    m_bLastWriteOk = m_hive.Flush() == platform::kRegOk;
    if (m_bLastWriteOk) {
        m_bWriteFailing = false;
        return;
    }
    if (userChange) TellUnsavedChange();
    if (m_bWriteFailing) return;  // a drag would repeat it four times a second
    m_bWriteFailing = true;
    if (m_report)
        m_report("cannot write the settings file " + m_hive.WriteProblem() +
                 "; changes are kept only until the toolbar closes");
}

void SettingsKeeper::KeepUserChange() {
    Flush();
    if (!m_bLastWriteOk) TellUnsavedChange();
}

void SettingsKeeper::TellUnsavedChange() {
    if (m_bToldUnsavedChange) return;
    m_bToldUnsavedChange = true;
    m_messages.Show(std::string(kSettingsNotKeptMessage) + "\n\n" + m_hive.WriteProblem(),
                    kProgramTitle, platform::MessageKind::AppExclamation);
}

void SettingsKeeper::KeepSpeed(int language, int speed) {
    const VoiceSettings* voice = VoiceSettingsFor(language);
    if (!voice) return;
    settings::VoiceChoice choice;
    choice.language = language;
    choice.voice = *voice;
    choice.voice.speed = speed;
    settings::KeepVoiceChoice(m_hive, choice);
    // A hive that writes at once has written it already; a deferring one has asked for the
    // spaced write through Changed().
    m_bUserChangePending = true;
}

void SettingsKeeper::TakeStoredVoices() {
    int language = 0, x = 0, y = 0;
    std::string paths[engine::kLanguageCount];
    settings::ReadStoredSettings(m_hive, {&language,
                                          &x,
                                          &y,
                                          {&g_voiceJpn, &g_voiceEng, &g_voiceChi, &g_voiceKor},
                                          &g_nChiCodepage,
                                          {&paths[0], &paths[1], &paths[2], &paths[3]}});
    g_bAutoLanguage = settings::LoadAutoLanguage(m_hive);
}
