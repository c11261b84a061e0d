#pragma once
// The toolbar's context menu (right click, the Menu key, Shift+F10), one row per item in the
// order shown. An item is added with a row here and its action in app/Actions.h; the
// window builds the menu from the rows, so it needs no change.

#include <array>

#include "app/Actions.h"
#include "app/CommandIds.h"

struct ToolbarMenuItem {
    int id;            // a command of app/CommandIds.h; 0 draws a separator
    const char* text;  // UTF-8; also the item's accessible name
    bool checkable;    // CBrisoletDlg::IsMenuItemChecked gives its state
};

inline constexpr auto kToolbarMenu = std::to_array<ToolbarMenuItem>({
    {kIdShowCaption, "字幕を表示", true},
    {kIdAutoLanguage, "言語を自動判別", true},
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

constexpr bool EveryMenuItemIsAnAction() {
    for (const ToolbarMenuItem& item : kToolbarMenu)
        if (item.id != 0 && !ActionForCommand(item.id)) return false;
    return true;
}
static_assert(EveryMenuItemIsAnAction());

// The menu's own accessible name.
inline constexpr const char* kToolbarMenuName = "ツールバーのメニュー";
