#pragma once
// The toolbar's window: a frameless, always-on-top widget. It forwards what
// happens to it to CBrisoletDlg and does what the logic asks of it (ToolbarView).

#include <QWidget>

#include "app/ToolbarView.h"
#include "platform/qt/QtTimers.h"

class CBrisoletDlg;
class QAbstractButton;
class QEventLoop;
class ToolbarChrome;

class ToolbarWindow final : public QWidget, public ToolbarView {
public:
    ToolbarWindow();
    ~ToolbarWindow() override;

    void SetLogic(CBrisoletDlg* dlg) { m_dlg = dlg; }
    // Initialises, shows and runs the toolbar until EndDialog; then tears it down.
    int RunModal();

    // ToolbarView
    platform::WindowId NativeWindow() override;
    void SetIcons() override;
    void LoadSkin() override;
    void SetTitle(const std::string& utf8) override;
    void MoveWindow(int x, int y, int width, int height) override;
    std::vector<ScreenRect> ScreenRects() override;
    void BuildWindowRegion() override;
    void CreateButtons() override;
    void CreateToolTips() override;
    void PlaceTopmost(bool move, int x, int y) override;
    void SetTopmost(bool topmost) override;
    void Activate() override;
    bool SetTimer(int id, int periodMs) override;
    void KillTimer(int id) override;
    void PostClose() override;
    void EndDialog(int result) override;
    void Invalidate() override;
    int RunMenu(const std::vector<MenuEntry>& entries, int x, int y, bool atToolbar) override;
    void ShowAbout() override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    CBrisoletDlg* m_dlg = nullptr;
    ToolbarChrome* m_chrome;  // skin, outline, skinned buttons, hover, dragging
    QEventLoop* m_loop = nullptr;
    int m_nResult = 0;
    bool m_bEnded = false;
    platform::QtTimers m_timers;
};
