#pragma once
// Everything the toolbar can be asked to do, one row each. The buttons and the menu reach a
// row by its command id, the global shortcuts by their slot, and a request from outside the
// program (the command line) by its name; all of them then run the same handler
// (CBrisoletDlg::RunAction). Names are stable: scripts and desktop entries use them.

#include <array>
#include <string_view>

#include "app/CommandIds.h"

enum class Action {
    ReadSelection,
    ReadAll,
    ReadClipboard,
    PauseResume,
    Stop,
    NextSentence,
    PreviousSentence,
    Faster,
    Slower,
    Settings,
    Language,
    About,
    SaveSpeech,
    ShowCaption,
    AutoLanguage,
    PauseShort,
    PauseNormal,
    PauseLong,
    LinksAll,
    LinksDomain,
    LinksNone,
    Voices,
    Quit,
};

// Who asked: the toolbar's own buttons and menu, or somewhere else while another window has
// the focus (a global shortcut, the command line), where the keys of the chord may still be
// held and the selection can often be had without copying.
enum class Trigger { Toolbar, Elsewhere };

struct ActionRow {
    Action action;
    const char* name;  // lower case, words joined by '-'
    int commandId;     // app/CommandIds.h; 0 for an action no button or menu item offers
};

inline constexpr auto kActions = std::to_array<ActionRow>({
    {Action::ReadSelection, "read-selection", kIdReadSelection},
    {Action::ReadAll, "read-all", kIdReadAll},
    {Action::ReadClipboard, "read-clipboard", 0},
    {Action::PauseResume, "pause-resume", kIdPauseResume},
    {Action::Stop, "stop", kIdStop},
    {Action::NextSentence, "next-sentence", kIdNextSentence},
    {Action::PreviousSentence, "previous-sentence", kIdPreviousSentence},
    {Action::Faster, "faster", kIdFaster},
    {Action::Slower, "slower", kIdSlower},
    {Action::Settings, "settings", kIdSettings},
    {Action::Language, "language", kIdLanguage},
    {Action::About, "about", kIdAbout},
    {Action::SaveSpeech, "save-speech", kIdSaveSpeech},
    {Action::ShowCaption, "show-caption", kIdShowCaption},
    {Action::AutoLanguage, "auto-language", kIdAutoLanguage},
    {Action::PauseShort, "sentence-pause-short", kIdPauseShort},
    {Action::PauseNormal, "sentence-pause-normal", kIdPauseNormal},
    {Action::PauseLong, "sentence-pause-long", kIdPauseLong},
    {Action::LinksAll, "links-all", kIdLinksAll},
    {Action::LinksDomain, "links-domain", kIdLinksDomain},
    {Action::LinksNone, "links-none", kIdLinksNone},
    {Action::Voices, "voices", kIdVoices},
    {Action::Quit, "quit", kIdOk},
});

// The row of a name or of a command id; nullptr when there is none.
constexpr const ActionRow* FindAction(std::string_view name) {
    for (const ActionRow& row : kActions)
        if (name == row.name) return &row;
    return nullptr;
}
constexpr const ActionRow* ActionForCommand(int id) {
    for (const ActionRow& row : kActions)
        if (id != 0 && row.commandId == id) return &row;
    return nullptr;
}

namespace action_table_checks {
constexpr bool RowsInEnumOrderWithUniqueNamesAndIds() {
    for (std::size_t i = 0; i < kActions.size(); ++i) {
        if (static_cast<std::size_t>(kActions[i].action) != i) return false;
        if (FindAction(kActions[i].name) != &kActions[i]) return false;
        if (kActions[i].commandId != 0 &&
            ActionForCommand(kActions[i].commandId) != &kActions[i])
            return false;
    }
    return true;
}
static_assert(RowsInEnumOrderWithUniqueNamesAndIds());
static_assert(kActions.size() == static_cast<std::size_t>(Action::Quit) + 1);
}  // namespace action_table_checks
