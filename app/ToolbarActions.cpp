// What the toolbar does when asked: one handler for every action, whether a button, the menu,
// a global shortcut or the command line asked for it.

#include "app/CBrisoletDlg.h"
#include "app/ToolbarMenu.h"
#include "dialogs/LanguageSelection.h"
#include "dialogs/SettingsCommand.h"
#include "platform/ActivationHistory.h"
#include "platform/Selection.h"
#include "platform/WindowSystem.h"
#include "reading/FollowAlong.h"
#include "reading/Messages.h"
#include "reading/ReadingCommands.h"
#include "reading/SaveSpeechCommand.h"
#include "reading/ShortcutReads.h"
#include "settings/CaptionSetting.h"
#include "settings/Globals.h"
#include "settings/SettingsStore.h"

void CBrisoletDlg::OnCommand(int id) {
    if (id == kIdCancel) return OnCancel();
    if (const ActionRow* row = ActionForCommand(id)) RunAction(row->action, Trigger::Toolbar);
}

bool CBrisoletDlg::Dispatch(std::string_view name) {
    const ActionRow* row = FindAction(name);
    if (!row) return false;
    RunAction(row->action, Trigger::Elsewhere);
    return true;
}

void CBrisoletDlg::RunAction(Action action, Trigger trigger) {
    // From elsewhere the focus is in the window to be read and the chord's keys may be down.
    reading::ShortcutReads* elsewhere =
        trigger == Trigger::Elsewhere ? m_elsewhereReads.get() : nullptr;
    switch (action) {
        case Action::ReadSelection:
            if (OutOfChordsReach(trigger) && ReadWithoutKeys(action)) break;
            if (elsewhere)
                elsewhere->ReadSelection();
            else if (m_reading)
                m_reading->capture.OnReadSelection();
            break;
        case Action::ReadAll:
            if (OutOfChordsReach(trigger) && ReadWithoutKeys(action)) break;
            if (elsewhere)
                elsewhere->ReadAll();
            else if (m_reading)
                m_reading->capture.OnReadAll();
            break;
        case Action::ReadClipboard:
            if (m_elsewhereReads && !m_elsewhereReads->ReadClipboard())
                SayNothingToRead();
            break;
        case Action::PauseResume:
            if (m_reading) m_reading->playback.OnPauseResume();
            break;
        case Action::Stop:
            if (m_reading) m_reading->playback.OnStop();
            break;
        case Action::NextSentence:
            if (m_follow) m_follow->NextSentence();
            break;
        case Action::PreviousSentence:
            if (m_follow) m_follow->PreviousSentence();
            break;
        case Action::Faster:
            if (m_follow) m_follow->Faster();
            break;
        case Action::Slower:
            if (m_follow) m_follow->Slower();
            break;
        case Action::Settings:
            OnSettings();
            break;
        case Action::Language:
            OnLanguage();
            break;
        case Action::About:
            m_view.ShowAbout();
            break;
        case Action::SaveSpeech:
            OnSaveSpeech(trigger);
            break;
        case Action::ShowCaption:
            OnShowCaption();
            break;
        case Action::AutoLanguage:
            OnAutoLanguage();
            break;
        case Action::PauseShort:
        case Action::PauseNormal:
        case Action::PauseLong:
        case Action::LinksAll:
        case Action::LinksDomain:
        case Action::LinksNone:
            OnReadingChoice(kActions[static_cast<std::size_t>(action)].commandId);
            break;
        case Action::Voices:
            if (m_openVoices) {
                FlushSettings();
                m_openVoices(g_nLanguage);
            }
            break;
        case Action::Quit:
            OnOK();
            break;
    }
}

void CBrisoletDlg::OnContextMenu(int x, int y, bool atToolbar) {
    std::vector<MenuEntry> entries;
    for (const ToolbarMenuItem& item : kToolbarMenu) {
        const ChoiceItem* choice = ChoiceItemOf(item.id);
        entries.push_back({item.id, item.text, item.checkable, IsMenuItemChecked(item.id),
                           choice ? static_cast<int>(choice->choice) + 1 : 0});
    }
    const int chosen = m_view.RunMenu(entries, x, y, atToolbar);
    if (chosen != 0) OnCommand(chosen);
}

bool CBrisoletDlg::IsMenuItemChecked(int id) const {
    if (const ChoiceItem* item = ChoiceItemOf(id))
        return settings::LoadReadingChoice(m_svc.hive, item->choice) == item->value;
    return (id == kIdShowCaption && m_bShowCaption) || (id == kIdAutoLanguage && g_bAutoLanguage);
}

void CBrisoletDlg::OnSaveSpeech(Trigger trigger) {
    if (!m_reading || !m_save) return;
    if (!OutOfChordsReach(trigger)) return m_reading->capture.OnSaveSelection();
    std::optional<std::u16string> text = SelectionWithoutKeys();
    m_reading->capture.EndCapture();  // a capture still waiting must not speak later
    if (text && !text->empty())
        m_save->Save(*text);
    else
        SayNothingToRead();
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

void CBrisoletDlg::OnReadingChoice(int id) {
    const ChoiceItem* item = ChoiceItemOf(id);
    if (!item) return;
    settings::SaveReadingChoice(m_svc.hive, item->choice, item->value);
    KeepUserChange();
}

bool CBrisoletDlg::OutOfChordsReach(Trigger trigger) {
    if (!m_readWindows) return false;
    if (trigger == Trigger::Elsewhere) return m_readWindows->ActiveWindow() == platform::kNoWindow;
    return m_activations &&
           m_activations->LastActiveOtherThan(m_view.NativeWindow()) == platform::kNoWindow;
}

bool CBrisoletDlg::ReadWithoutKeys(Action action) {
    if (!m_reading) return false;
    std::optional<std::u16string> text;
    if (action == Action::ReadAll) {
        text = m_wholeText ? m_wholeText() : std::nullopt;
    } else {
        text = SelectionWithoutKeys();
    }
    m_reading->capture.EndCapture();  // a capture still waiting must not speak later
    if (text && !text->empty())
        m_reading->controller.SpeakText(*text);
    else
        SayNothingToRead();
    return true;
}

std::optional<std::u16string> CBrisoletDlg::SelectionWithoutKeys() {
    if (!m_selection || !m_reading) return std::nullopt;
    std::optional<std::u16string> text = m_selection->Text();
    if (text && !text->empty())
        text = m_reading->controller.TextToRead(std::move(*text),
                                                [this] { return m_selection->Html(); });
    return text;
}

void CBrisoletDlg::SayNothingToRead() {
    m_svc.messages.Show(reading::kMsgNoText, reading::kToolbarTitle,
                        platform::MessageKind::ToolbarWarning);
}
