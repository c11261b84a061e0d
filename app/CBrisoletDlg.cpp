#include "app/CBrisoletDlg.h"

#include "app/CaptionFollower.h"
#include "app/CommandIds.h"
#include "app/ShortcutSettings.h"
#include "app/ToolbarMenu.h"
#include "dialogs/LanguageSelection.h"
#include "dialogs/SettingsCommand.h"
#include "engine/EngineStartup.h"
#include "reading/FollowAlong.h"
#include "reading/ReadingCommands.h"
#include "reading/SaveSpeechCommand.h"
#include "reading/ShortcutCommands.h"
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

constexpr const char* kSettingsNotKeptMessage =
    "設定を保存できませんでした。変更はツールバーを閉じるまでの間だけ有効です。";

}  // namespace

CBrisoletDlg::CBrisoletDlg(ToolbarView& view, const ToolbarServices& services)
    : m_view(view),
      m_svc(services),
      m_writes([this] { WriteSettings(); },
               [this](int delayMs) { m_view.SetTimer(kSettingsWriteTimerId, delayMs); },
               m_svc.nowMs) {}

CBrisoletDlg::~CBrisoletDlg() = default;

void CBrisoletDlg::AttachReading(const reading::ReadingPlatform& platform) {
    m_clipboard = &platform.clipboard;
    m_readWindows = &platform.windows;
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
        [this](int language, int value) { KeepSpeed(language, value); });
}

// Stored as the voice dialog's OK stores it: the other values of the voice as they are.
void CBrisoletDlg::KeepSpeed(int language, int speed) {
    const VoiceSettings* voice = VoiceSettingsFor(language);
    if (!voice) return;
    settings::VoiceChoice choice;
    choice.language = language;
    choice.voice = *voice;
    choice.voice.speed = speed;
    settings::KeepVoiceChoice(m_svc.hive, choice);
    KeepUserChange();
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

void CBrisoletDlg::OnSaveSpeech() {
    if (m_reading && m_save) m_reading->capture.OnSaveSelection();
}

void CBrisoletDlg::AttachShortcuts(platform::GlobalShortcuts& shortcuts,
                                   platform::Selection& selection, platform::KeyInjector& keys,
                                   platform::Pump& pump,
                                   const std::function<void(const std::string&)>& report,
                                   std::function<platform::GlobalShortcuts&()> renew) {
    if (!m_reading) return;
    m_selection = &selection;
    m_shortcuts = std::make_unique<reading::ShortcutCommands>(*m_reading, selection, keys, pump,
                                                              m_follow.get());
    m_reportShortcuts = report;
    m_renewShortcuts = std::move(renew);
    TakeShortcutsInForce(shortcuts);
}

void CBrisoletDlg::TakeShortcutsInForce(platform::GlobalShortcuts& shortcuts) {
    const auto inForce = settings::LoadShortcuts(m_svc.hive, m_reportShortcuts);
    m_shortcutTexts.clear();
    for (const settings::ShortcutInForce& s : inForce) m_shortcutTexts.push_back(s.text);
    shortcuts.SetListener([this](int id) {
        ++m_nInShortcut;
        m_shortcuts->OnShortcut(id);
        --m_nInShortcut;
    });
    settings::TakeShortcuts(shortcuts, inForce, m_reportShortcuts);
}

void CBrisoletDlg::TakeStoredSettings() {
    if (m_svc.hive.TakeStoredChanges()) {
        TakeStoredVoices();
        const bool showCaption = settings::LoadShowCaption(m_svc.hive);
        if (showCaption != m_bShowCaption) {
            m_bShowCaption = showCaption;
            FollowCaptionSetting();
        }
        m_bShortcutsToCheck = true;
    }
    // A shortcut's command pumps events, and the set that called it must outlive the call:
    // the chords are taken again once it has returned.
    if (!m_bShortcutsToCheck || m_nInShortcut > 0) return;
    m_bShortcutsToCheck = false;
    if (!m_shortcuts || !m_renewShortcuts) return;
    std::vector<std::string> texts;
    for (const settings::ShortcutInForce& s : settings::LoadShortcuts(m_svc.hive, {}))
        texts.push_back(s.text);
    if (texts != m_shortcutTexts) TakeShortcutsInForce(m_renewShortcuts());
}

void CBrisoletDlg::TakeStoredVoices() {
    int language = 0, x = 0, y = 0;
    std::string paths[engine::kLanguageCount];
    settings::ReadStoredSettings(m_svc.hive, {&language,
                                              &x,
                                              &y,
                                              {&g_voiceJpn, &g_voiceEng, &g_voiceChi, &g_voiceKor},
                                              &g_nChiCodepage,
                                              {&paths[0], &paths[1], &paths[2], &paths[3]}});
    g_bAutoLanguage = settings::LoadAutoLanguage(m_svc.hive);
}

void CBrisoletDlg::AttachSettingsDialogs(dialogs::VoiceDialogRunner& runner,
                                         platform::ProcessLauncher& processes,
                                         platform::WindowSystem& windows) {
    m_voiceDialogs = &runner;
    m_processes = &processes;
    m_windows = &windows;
}

void CBrisoletDlg::WriteSettings() {
    m_bLastWriteOk = m_svc.hive.Flush() == platform::kRegOk;
    if (m_bLastWriteOk) {
        m_bWriteFailing = false;
        return;
    }
    if (m_bWriteFailing) return;  // a drag would repeat it four times a second
    m_bWriteFailing = true;
    if (m_svc.report)
        m_svc.report("cannot write the settings file " + m_svc.hive.WriteProblem() +
                     "; changes are kept only until the toolbar closes");
}

void CBrisoletDlg::KeepUserChange() {
    FlushSettings();
    if (m_bLastWriteOk || m_bToldUnsavedChange) return;
    m_bToldUnsavedChange = true;
    m_svc.messages.Show(std::string(kSettingsNotKeptMessage) + "\n\n" + m_svc.hive.WriteProblem(),
                        kProgramTitle, platform::MessageKind::AppExclamation);
}

void CBrisoletDlg::OnSettings() {
    if (!m_voiceDialogs) return;
    const bool ok = dialogs::OnSettings(
        {g_nLanguage,
         m_bPaused,
         {&m_strUserDicJpn, &m_strUserDicEng, &m_strUserDicChi, &m_strUserDicKor},
         [this](bool topmost) { m_view.SetTopmost(topmost); },
         [this] { FlushSettings(); },
         *m_voiceDialogs,
         {m_svc.engines, m_svc.hive, m_svc.messages, *m_processes, *m_windows, g_szAppDir,
          settings::VoiceInForceFor, [this](const settings::VoiceChoice& choice) {
              settings::KeepVoiceChoice(m_svc.hive, choice);
          }}});
    if (ok) KeepUserChange();
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

    // One failed start must not keep the others from starting.
    if (StartJapaneseEngine()) g_bEngineLoaded[engine::kJapanese] = 1;
    if (StartEnglishEngine()) g_bEngineLoaded[engine::kEnglish] = 1;
    if (StartChineseEngine()) g_bEngineLoaded[engine::kChinese] = 1;
    if (StartKoreanEngine()) g_bEngineLoaded[engine::kKorean] = 1;
    ChooseUsableLanguage();

    m_view.CreateToolTips();
    m_view.PlaceTopmost(false, m_nPosX, m_nPosY);
    m_view.SetTimer(kSettingsWatchTimerId, kSettingsWatchMs);
    TellCaptionWhereTheToolbarIs(m_nPosX, m_nPosY);
    FollowCaptionSetting();
    return true;
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

void CBrisoletDlg::OnCommand(int id) {
    switch (id) {
        case kIdOk:
            OnOK();
            break;
        case kIdCancel:
            OnCancel();
            break;
        case kIdReadSelection:
            if (m_reading) m_reading->capture.OnReadSelection();
            break;
        case kIdReadAll:
            if (m_reading) m_reading->capture.OnReadAll();
            break;
        case kIdPauseResume:
            if (m_reading) m_reading->playback.OnPauseResume();
            break;
        case kIdStop:
            if (m_reading) m_reading->playback.OnStop();
            break;
        case kIdLanguage:
            OnLanguage();
            break;
        case kIdSettings:
            OnSettings();
            break;
        case kIdSaveSpeech:
            OnSaveSpeech();
            break;
        case kIdShowCaption:
            OnShowCaption();
            break;
        case kIdAutoLanguage:
            OnAutoLanguage();
            break;
        case kIdAbout:
            m_view.ShowAbout();
            break;
        case kIdNextSentence:
            if (m_follow) m_follow->NextSentence();
            break;
        case kIdPreviousSentence:
            if (m_follow) m_follow->PreviousSentence();
            break;
        case kIdFaster:
            if (m_follow) m_follow->Faster();
            break;
        case kIdSlower:
            if (m_follow) m_follow->Slower();
            break;
        default:
            break;
    }
}

void CBrisoletDlg::OnContextMenu(int x, int y, bool atToolbar) {
    std::vector<MenuEntry> entries;
    for (const ToolbarMenuItem& item : kToolbarMenu)
        entries.push_back({item.id, item.text, item.checkable, IsMenuItemChecked(item.id)});
    const int chosen = m_view.RunMenu(entries, x, y, atToolbar);
    if (chosen != 0) OnCommand(chosen);
}

bool CBrisoletDlg::IsMenuItemChecked(int id) const {
    return (id == kIdShowCaption && m_bShowCaption) || (id == kIdAutoLanguage && g_bAutoLanguage);
}

void CBrisoletDlg::OnShowCaption() {
    m_bShowCaption = !m_bShowCaption;
    settings::SaveShowCaption(m_svc.hive, m_bShowCaption);
    KeepUserChange();
    FollowCaptionSetting();
}

void CBrisoletDlg::OnLanguage() {
    if (!m_langsel) return;
    m_bPaused = 0;
    if (engine::IsEngineLanguage(g_nLanguage)) m_svc.engines.Stop(g_nLanguage);
    int language = g_nLanguage;
    FlushSettings();
    // The toolbar stays topmost during the run: the dialog keeps itself above it.
    if (!m_langsel->Run(language)) return;
    g_nLanguage = language;
    m_view.Invalidate();
    settings::SaveLanguage(m_svc.hive, g_nLanguage);
    KeepUserChange();
}

void CBrisoletDlg::OnAutoLanguage() {
    g_bAutoLanguage = g_bAutoLanguage ? 0 : 1;
    settings::SaveAutoLanguage(m_svc.hive, g_bAutoLanguage);
    KeepUserChange();
}

void CBrisoletDlg::OnTimer(int id) {
    if (id == kSettingsWriteTimerId) {
        m_view.KillTimer(id);  // one-shot: the next change arms it again
        m_writes.OnTimer();
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
