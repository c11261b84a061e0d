#pragma once
// The toolbar's context menu (right click, the Menu key, Shift+F10), one row per item in the
// order shown. An item is added with a row here and its action in app/Actions.h; the
// window builds the menu from the rows, so it needs no change.

#include <array>

#include "app/Actions.h"
#include "app/CommandIds.h"
#include "settings/ReadingChoices.h"

struct ToolbarMenuItem {
    int id;            // a command of app/CommandIds.h; 0 draws a separator
    const char* text;  // UTF-8; also the item's accessible name
    bool checkable;    // CBrisoletDlg::IsMenuItemChecked gives its state
};

inline constexpr auto kToolbarMenu = std::to_array<ToolbarMenuItem>({
    {kIdShowCaption, "字幕を表示", true},
    {kIdAutoLanguage, "言語を自動判別", true},
    {0, "", false},
    {kIdPauseShort, "文の間: 短く", true},
    {kIdPauseNormal, "文の間: 標準", true},
    {kIdPauseLong, "文の間: 長く", true},
    {0, "", false},
    {kIdLinksAll, "URL: 全部読む", true},
    {kIdLinksDomain, "URL: ドメインだけ", true},
    {kIdLinksNone, "URL: 読まない", true},
    {0, "", false},
    {kIdPreviousSentence, "前の文", false},
    {kIdNextSentence, "次の文", false},
    {0, "", false},
    {kIdFaster, "速く", false},
    {kIdSlower, "遅く", false},
    {0, "", false},
    {kIdSaveSpeech, "音声ファイルに保存...", false},
    {kIdVoices, "声の管理...", false},
    {0, "", false},
    {kIdAbout, "バージョン情報", false},
});

// Items that choose one value of a reading choice; those of one choice show as radio items.
struct ChoiceItem {
    int id;
    settings::ReadingChoice choice;
    int value;
};

inline constexpr auto kChoiceItems = std::to_array<ChoiceItem>({
    {kIdPauseShort, settings::ReadingChoice::SentencePause, 0},
    {kIdPauseNormal, settings::ReadingChoice::SentencePause, 1},
    {kIdPauseLong, settings::ReadingChoice::SentencePause, 2},
    {kIdLinksAll, settings::ReadingChoice::Links, 0},
    {kIdLinksDomain, settings::ReadingChoice::Links, 1},
    {kIdLinksNone, settings::ReadingChoice::Links, 2},
});

constexpr const ChoiceItem* ChoiceItemOf(int id) {
    for (const ChoiceItem& item : kChoiceItems)
        if (item.id == id) return &item;
    return nullptr;
}

constexpr bool EveryMenuItemIsAnAction() {
    for (const ToolbarMenuItem& item : kToolbarMenu)
        if (item.id != 0 && !ActionForCommand(item.id)) return false;
    return true;
}
static_assert(EveryMenuItemIsAnAction());

// The menu's own accessible name.
inline constexpr const char* kToolbarMenuName = "ツールバーのメニュー";
