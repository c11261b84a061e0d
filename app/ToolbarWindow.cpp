#include "app/ToolbarWindow.h"

#include <map>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "app/CBrisoletDlg.h"
#include "app/CommandIds.h"
#include "app/ToolbarMenu.h"
#include "dialogs/qt/CAbout.h"
#include "settings/Globals.h"
#include "toolbar/Skin.h"
#include "toolbar/SkinButton.h"
#include "toolbar/SkinLayout.h"
#include "toolbar/ToolbarChrome.h"

// The skinned buttons carry the control ids the logic dispatches on.
static_assert(SkinLayout::kButtons[0].id == kIdReadSelection &&
              SkinLayout::kButtons[1].id == kIdReadAll &&
              SkinLayout::kButtons[2].id == kIdPauseResume &&
              SkinLayout::kButtons[3].id == kIdStop && SkinLayout::kButtons[4].id == kIdSettings &&
              SkinLayout::kButtons[5].id == kIdLanguage && SkinLayout::kButtons[6].id == kIdOk);

ToolbarWindow::ToolbarWindow()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_chrome(new ToolbarChrome(this)),
      m_timers(this, [this](int id) { m_dlg->OnTimer(id); }) {
    setAttribute(Qt::WA_AlwaysShowToolTips);
}

ToolbarWindow::~ToolbarWindow() = default;

int ToolbarWindow::RunModal() {
    m_dlg->OnInitDialog();
    if (!m_bEnded) {
        show();
        QEventLoop loop;
        m_loop = &loop;
        loop.exec();
        m_loop = nullptr;
    }
    hide();
    m_timers.StopAll();
    m_dlg->OnDestroy();
    return m_nResult;
}

platform::WindowId ToolbarWindow::NativeWindow() {
    return static_cast<platform::WindowId>(winId());
}

void ToolbarWindow::SetIcons() {
    setWindowIcon(Skin::programIcon());
}

void ToolbarWindow::LoadSkin() {
    m_chrome->loadSkin();
}

void ToolbarWindow::SetTitle(const std::string& utf8) {
    setWindowTitle(QString::fromStdString(utf8));
    setAccessibleName(windowTitle());
}

void ToolbarWindow::MoveWindow(int x, int y, int width, int height) {
    setFixedSize(width, height);
    move(x, y);
    update();
}

std::vector<ScreenRect> ToolbarWindow::ScreenRects() {
    std::vector<ScreenRect> rects;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        rects.push_back({g.x(), g.y(), g.width(), g.height()});
    }
    return rects;
}

void ToolbarWindow::BuildWindowRegion() {
    m_chrome->buildWindowRegion();
}

void ToolbarWindow::CreateButtons() {
    const auto& buttons = m_chrome->createButtons([] { return g_nLanguage; });
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        QAbstractButton* button = buttons[i];
        button->setFocusPolicy(Qt::TabFocus);
        const int id = SkinLayout::kButtons[i].id;
        connect(button, &QAbstractButton::clicked, this, [this, id] { m_dlg->OnCommand(id); });
    }
}

void ToolbarWindow::CreateToolTips() {
    m_chrome->createToolTips();
}

void ToolbarWindow::PlaceTopmost(bool move, int x, int y) {
    SetTopmost(true);
    if (move) this->move(x, y);
}

void ToolbarWindow::SetTopmost(bool topmost) {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == topmost) return;
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, topmost);
    // QWidget::setWindowFlags would destroy and re-create the native window, leaving every
    // holder of its id (the read command's own-window check among them) with a dead one. The
    // platform window changes its state in place (_NET_WM_STATE_ABOVE on X11).
    overrideWindowFlags(flags);
    if (QWindow* window = windowHandle()) window->setFlags(flags);
}

void ToolbarWindow::Activate() {
    raise();
    activateWindow();
}

bool ToolbarWindow::SetTimer(int id, int periodMs) {
    m_timers.Start(id, periodMs);
    return true;
}

void ToolbarWindow::KillTimer(int id) {
    m_timers.Stop(id);
}

void ToolbarWindow::PostClose() {
    QMetaObject::invokeMethod(
        this, [this] { m_dlg->OnCancel(); }, Qt::QueuedConnection);
}

void ToolbarWindow::EndDialog(int result) {
    if (m_bEnded) return;
    m_bEnded = true;
    m_nResult = result;
    if (m_loop) m_loop->quit();
    // A dialog still open runs its own loop inside the toolbar's, which would end only once
    // the user closed it (a quit asked from the command line or a signal): each is closed as
    // its Cancel would.
    for (QWidget* last = nullptr; QWidget* modal = QApplication::activeModalWidget();
         last = modal) {
        if (modal == last) break;  // it refused to close
        modal->close();
    }
}

void ToolbarWindow::Invalidate() {
    update();
}

int ToolbarWindow::RunMenu(const std::vector<MenuEntry>& entries, int x, int y, bool atToolbar) {
    QMenu menu(this);
    menu.setAccessibleName(QString::fromUtf8(kToolbarMenuName));
    std::map<int, QActionGroup*> groups;
    for (const MenuEntry& entry : entries) {
        if (entry.id == 0) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(QString::fromStdString(entry.text));
        action->setData(entry.id);
        action->setCheckable(entry.checkable);
        action->setChecked(entry.checked);
        if (entry.group != 0) {
            QActionGroup*& group = groups[entry.group];
            if (!group) group = new QActionGroup(&menu);
            group->addAction(action);
        }
    }
    // Assistive tools trigger an item without going through the menu's own choice, so the
    // choice is taken from the trigger, whoever made it.
    int chosen = 0;
    connect(&menu, &QMenu::triggered, &menu, [&](QAction* action) {
        chosen = action->data().toInt();
        menu.close();
    });
    menu.exec(atToolbar ? mapToGlobal(QPoint(0, height())) : QPoint(x, y));
    return chosen;
}

void ToolbarWindow::ShowAbout() {
    CAbout about(nullptr);
    about.exec();
}

void ToolbarWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_chrome->paintBackground(painter);
}

void ToolbarWindow::mousePressEvent(QMouseEvent* event) {
    if (!m_chrome->mousePress(event)) QWidget::mousePressEvent(event);
}

void ToolbarWindow::mouseMoveEvent(QMouseEvent* event) {
    if (!m_chrome->mouseMove(event)) QWidget::mouseMoveEvent(event);
}

void ToolbarWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_chrome->mouseRelease(event)) QWidget::mouseReleaseEvent(event);
}

void ToolbarWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    m_dlg->OnMove(x(), y());
}

void ToolbarWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            m_dlg->OnOK();
            return;
        case Qt::Key_Escape:
            m_dlg->OnCancel();
            return;
        case Qt::Key_F10:
            if (event->modifiers() == Qt::ShiftModifier) {
                m_dlg->OnContextMenu(0, 0, true);
                return;
            }
            QWidget::keyPressEvent(event);
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

// Right clicks on a button reach us too (the buttons leave the event to their parent); the
// close button keeps its own meaning.
void ToolbarWindow::contextMenuEvent(QContextMenuEvent* event) {
    const bool fromKeyboard = event->reason() == QContextMenuEvent::Keyboard;
    if (!fromKeyboard) {
        const SkinLayout::Button& close = SkinLayout::kButtons[6];
        const QPoint p = mapFromGlobal(event->globalPos());
        if (p.x() >= close.left && p.x() < close.right && p.y() >= close.top &&
            p.y() < close.bottom)
            return;
    }
    event->accept();
    m_dlg->OnContextMenu(event->globalPos().x(), event->globalPos().y(), fromKeyboard);
}

void ToolbarWindow::closeEvent(QCloseEvent* event) {
    event->ignore();  // the modal run ends through the logic, which then hides us
    m_dlg->OnCancel();
}
