#pragma once
// What the toolbar's logic (CBrisoletDlg) asks of its own window. The Qt widget implements
// it; tests use a fake, so the initialisation order and the handlers run without a display.

#include <string>
#include <vector>

#include "app/ScreenPlacement.h"
#include "reading/ToolbarHandle.h"

// One item of a menu the window shows; id 0 is a separator.
struct MenuEntry {
    int id = 0;
    std::string text;  // UTF-8, also its accessible name
    bool checkable = false;
    bool checked = false;
    int group = 0;  // items with the same group other than 0 are exclusive (radio items)
};

class ToolbarView : public reading::ToolbarHandle {
public:
    virtual void SetIcons() = 0;
    virtual void LoadSkin() = 0;
    virtual void SetTitle(const std::string& utf8) = 0;
    // Moves and sizes the window (client origin in screen coordinates).
    virtual void MoveWindow(int x, int y, int width, int height) = 0;
    // The screens' areas, in the coordinates window positions use.
    virtual std::vector<ScreenRect> ScreenRects() = 0;
    // Cuts the outline from the skin's key colour.
    virtual void BuildWindowRegion() = 0;
    virtual void CreateButtons() = 0;
    virtual void CreateToolTips() = 0;
    // Keeps the window above ordinary windows, at (x, y) when move is true.
    virtual void PlaceTopmost(bool move, int x, int y) = 0;
    virtual void SetTopmost(bool topmost) = 0;
    // Ends the modal run with the given result.
    virtual void EndDialog(int result) = 0;
    // Repaints the whole toolbar (the language button shows the current language).
    virtual void Invalidate() = 0;
    // Shows a popup menu until it is dismissed and returns the id of the item chosen, 0 when
    // none was. (x, y) is its top left in screen coordinates; atToolbar puts it just under
    // the toolbar instead (opened from the keyboard).
    virtual int RunMenu(const std::vector<MenuEntry>& entries, int x, int y, bool atToolbar) = 0;
    // Shows the About box until it is closed.
    virtual void ShowAbout() = 0;
};
