#include "app/CBrisoletDlg.h"

#include "app/CaptionFollower.h"
#include "app/CommandIds.h"
#include "app/ShortcutBinding.h"
#include "engine/EngineStartup.h"
#include "reading/FollowAlong.h"
#include "reading/ReadingCommands.h"
#include "reading/SaveSpeechCommand.h"
#include "reading/ShortcutReads.h"
#include "settings/CaptionSetting.h"
#include "settings/Globals.h"
#include "settings/SettingsStore.h"
#include "toolbar/SkinLayout.h"

namespace {

// A look costs one stat(2); a hand edit takes effect within a second.
constexpr int kSettingsWatchMs = 1000;

reading::ReadingSettings CurrentReadingSettings() {
    reading::ReadingSettings s;
    s.language = g_nLanguage;
    if (const VoiceSettings* voice = VoiceSettingsFor(g_nLanguage)) {
        s.volume = voice->volume;
        s.speed = voice->speed;
        s.pitch = voice->pitch;
    }
    s.chiCodepage = g_nChiCodepage;
    s.autoLanguage = g_bAutoLanguage;
    for (const engine::LanguageInfo& lang : engine::Languages()) {
        const VoiceSettings& v = *VoiceSettingsFor(lang.number);
        s.voices[engine::LanguageIndex(lang.number)] = {v.pitch, v.speed, v.volume};
    }
    return s;
}

}  // namespace

CBrisoletDlg::CBrisoletDlg(ToolbarView& view, const ToolbarServices& services)
    : m_view(view),
      m_svc(services),
      m_keeper(m_svc.hive, m_svc.messages, m_svc.report,
               [this](int delayMs) { m_view.SetTimer(kSettingsWriteTimerId, delayMs); },
               m_svc.nowMs) {}

CBrisoletDlg::~CBrisoletDlg() = default;

void CBrisoletDlg::AttachReading(const reading::ReadingPlatform& platform) {
    m_readWindows = &platform.windows;
    m_selection = &platform.selection;
    m_reading = std::make_unique<reading::ReadingCommands>(m_view, m_svc.engines, m_svc.messages,
                                                           platform, CurrentReadingSettings,
                                                           m_bCaptureTimer, m_bPaused);
    auto speed = [] {
        const VoiceSettings* voice = VoiceSettingsFor(g_nLanguage);
        return reading::FollowAlong::Speed{g_nLanguage, voice ? voice->speed : 0, g_speedMin,
                                           voice ? g_speedMax : g_speedMin - 1};
    };
    m_follow = std::make_unique<reading::FollowAlong>(
        m_svc.engines, speed, m_bPaused,
        [this](int language, int value) { m_keeper.KeepSpeed(language, value); });
    m_elsewhereReads = std::make_unique<reading::ShortcutReads>(
        *m_reading, platform.selection, platform.clipboard, platform.keys, platform.pump);
}

void CBrisoletDlg::AttachCaption(CaptionView& view) {
    m_caption = std::make_unique<CaptionFollower>(view, m_svc.engines, [] { return g_nLanguage; });
}

void CBrisoletDlg::FollowCaptionSetting() {
    if (!m_caption) return;
    if (m_bShowCaption) {
        m_view.SetTimer(kCaptionTimerId, CaptionFollower::kPollMs);
    } else {
        m_view.KillTimer(kCaptionTimerId);
        m_caption->Hide();
    }
}

void CBrisoletDlg::TellCaptionWhereTheToolbarIs(int x, int y) {
    if (m_caption)
        m_caption->ToolbarAt({x, y, SkinLayout::kToolbarWidth, SkinLayout::kToolbarHeight},
                             m_view.ScreenRects());
}

void CBrisoletDlg::AttachSaving(platform::FileDialogs& dialogs, platform::Pump& pump,
                                const std::string& folder) {
    if (!m_reading) return;
    m_save = std::make_unique<reading::SaveSpeechCommand>(
        m_svc.engines, m_svc.messages, dialogs, pump, CurrentReadingSettings, m_bPaused, folder);
    m_reading->controller.SaveTextWith([this](const std::u16string& text) { m_save->Save(text); });
}

void CBrisoletDlg::AttachShortcuts(platform::GlobalShortcuts& shortcuts,
                                   const std::function<void(const std::string&)>& report,
                                   std::function<platform::GlobalShortcuts&()> renew) {
    if (!m_reading) return;
    m_shortcuts = std::make_unique<ShortcutBinding>(
        m_svc.hive, [this](Action action) { RunAction(action, Trigger::Elsewhere); }, report,
        std::move(renew));
    m_shortcuts->Take(shortcuts);
}

void CBrisoletDlg::TakeStoredSettings() {
    if (m_svc.hive.TakeStoredChanges()) {
        m_keeper.TakeStoredVoices();
        const bool showCaption = settings::LoadShowCaption(m_svc.hive);
        if (showCaption != m_bShowCaption) {
            m_bShowCaption = showCaption;
            FollowCaptionSetting();
        }
        if (m_shortcuts) m_shortcuts->StoredValuesChanged();
    }
    if (m_shortcuts) m_shortcuts->TakeAgainIfEdited();
}

void CBrisoletDlg::AttachSettingsDialogs(dialogs::VoiceDialogRunner& runner,
                                         platform::ProcessLauncher& processes,
                                         platform::WindowSystem& windows) {
    m_voiceDialogs = &runner;
    m_processes = &processes;
    m_windows = &windows;
}

bool CBrisoletDlg::OnInitDialog() {
    m_view.SetIcons();
    m_view.LoadSkin();
    m_view.SetTitle(reading::kToolbarTitle);
    LoadSettings();
    const ScreenPoint at = PlaceOnScreens(m_nPosX, m_nPosY, SkinLayout::kToolbarWidth,
                                          SkinLayout::kToolbarHeight, m_view.ScreenRects());
    m_nPosX = at.x;
    m_nPosY = at.y;
    m_view.MoveWindow(0, 0, SkinLayout::kToolbarWidth, SkinLayout::kToolbarHeight);
    m_view.BuildWindowRegion();
    m_view.CreateButtons();
    m_view.PlaceTopmost(true, m_nPosX, m_nPosY);
    m_bPaused = 0;
    m_bCaptureTimer = 0;

    StartEngines();

    m_view.CreateToolTips();
    m_view.PlaceTopmost(false, m_nPosX, m_nPosY);
    m_view.SetTimer(kSettingsWatchTimerId, kSettingsWatchMs);
    TellCaptionWhereTheToolbarIs(m_nPosX, m_nPosY);
    FollowCaptionSetting();
    return true;
}

void CBrisoletDlg::OnDestroy() {
    m_view.KillTimer(kSettingsWatchTimerId);
    m_view.KillTimer(kCaptionTimerId);
    if (m_caption) m_caption->Hide();
    FlushSettings();
    // Every engine is unloaded, loaded or not: unload is harmless on an engine that never
    // started, and speech still playing ends with it.
    for (int n = engine::kJapanese; n <= engine::kKorean; ++n)
        m_svc.engines.Unload(n, engine::FindLanguage(n)->speaker);
}

void CBrisoletDlg::LoadSettings() {
    settings::Targets targets{
        &g_nLanguage,    &m_nPosX,
        &m_nPosY,        {&g_voiceJpn, &g_voiceEng, &g_voiceChi, &g_voiceKor},
        &g_nChiCodepage, {&m_strUserDicJpn, &m_strUserDicEng, &m_strUserDicChi, &m_strUserDicKor},
    };
    settings::LoadSettings(m_svc.hive, g_szAppDir, targets);
    g_bAutoLanguage = settings::LoadAutoLanguage(m_svc.hive);
    m_bShowCaption = settings::LoadShowCaption(m_svc.hive);
    m_bSettingsLoaded = 1;
}

void CBrisoletDlg::OnMove(int x, int y) {
    TellCaptionWhereTheToolbarIs(x, y);  // the strip follows a drag
    if (!m_bSettingsLoaded) return;
    settings::SavePosition(m_svc.hive, x, y);
}

void CBrisoletDlg::OnTimer(int id) {
    if (id == kSettingsWriteTimerId) {
        m_view.KillTimer(id);  // one-shot: the next change arms it again
        m_keeper.OnTimer();
    } else if (id == kSettingsWatchTimerId) {
        TakeStoredSettings();
    } else if (id == kCaptionTimerId && m_caption) {
        m_caption->Poll();
    } else if (id == reading::kCaptureTimerId && m_reading) {
        m_reading->controller.OnCaptureTimer(id);
    }
}

// The modal run ends only once the handler that is running returns, so a capture waiting
// inside one (its pumped delays or its waits for the clipboard) is ended first.
void CBrisoletDlg::OnOK() {
    if (m_reading) m_reading->capture.EndCapture();
    m_view.EndDialog(kIdOk);
}
void CBrisoletDlg::OnCancel() {
    if (m_reading) m_reading->capture.EndCapture();
    m_view.EndDialog(kIdCancel);
}
