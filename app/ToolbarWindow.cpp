#include "app/ToolbarWindow.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

#include "app/CBrisoletDlg.h"
#include "app/CommandIds.h"

namespace {

struct ButtonPlace {
    int id;
    int left, top, right, bottom;
};
// Creation order is tab order.
constexpr ButtonPlace kButtons[] = {
    {kIdReadSelection, 57, 10, 83, 38}, {kIdReadAll, 84, 10, 110, 38},
    {kIdPauseResume, 111, 10, 137, 38}, {kIdStop, 138, 10, 164, 38},
    {kIdSettings, 165, 10, 191, 38},    {kIdLanguage, 192, 10, 218, 38},
    {kIdOk, 219, 10, 245, 38}};

}  // namespace

ToolbarWindow::ToolbarWindow()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
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
    for (auto& [id, timer] : m_timers) timer->stop();
    m_dlg->OnDestroy();
    return m_nResult;
}

platform::WindowId ToolbarWindow::NativeWindow() { return static_cast<platform::WindowId>(winId()); }

void ToolbarWindow::SetIcons() {}

void ToolbarWindow::LoadSkin() {}

void ToolbarWindow::SetTitle(const std::string& utf8) {
    setWindowTitle(QString::fromStdString(utf8));
}

void ToolbarWindow::MoveWindow(int x, int y, int width, int height) {
    setFixedSize(width, height);
    move(x, y);
    update();
}

void ToolbarWindow::BuildWindowRegion() {}

void ToolbarWindow::CreateButtons() {
    for (const ButtonPlace& b : kButtons) {
        auto* button = new QPushButton(this);
        button->setGeometry(b.left, b.top, b.right - b.left, b.bottom - b.top);
        button->setFocusPolicy(Qt::TabFocus);
        const int id = b.id;
        connect(button, &QPushButton::clicked, this, [this, id] { m_dlg->OnCommand(id); });
        m_buttons[id] = button;
        button->show();
    }
}

QPushButton* ToolbarWindow::Button(int id) const {
    auto it = m_buttons.find(id);
    return it == m_buttons.end() ? nullptr : it->second;
}

void ToolbarWindow::CreateToolTips() {}

void ToolbarWindow::PlaceTopmost(bool move, int x, int y) {
    SetTopmost(true);
    if (move) this->move(x, y);
}

void ToolbarWindow::SetTopmost(bool topmost) {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == topmost) return;
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
    if (wasVisible) show();  // changing flags hides the window
}

void ToolbarWindow::Activate() {
    raise();
    activateWindow();
}

bool ToolbarWindow::SetTimer(int id, int periodMs) {
    QTimer*& timer = m_timers[id];
    if (!timer) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, id] { m_dlg->OnTimer(id); });
    }
    timer->start(periodMs);
    return true;
}

void ToolbarWindow::KillTimer(int id) {
    auto it = m_timers.find(id);
    if (it != m_timers.end()) it->second->stop();
}

void ToolbarWindow::PostClose() {
    QMetaObject::invokeMethod(this, [this] { m_dlg->OnCancel(); }, Qt::QueuedConnection);
}

void ToolbarWindow::EndDialog(int result) {
    if (m_bEnded) return;
    m_bEnded = true;
    m_nResult = result;
    if (m_loop) m_loop->quit();
}

void ToolbarWindow::Invalidate() { update(); }

void ToolbarWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    m_dlg->OnMove(x(), y());
}

void ToolbarWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: m_dlg->OnOK(); return;
        case Qt::Key_Escape: m_dlg->OnCancel(); return;
        default: QWidget::keyPressEvent(event);
    }
}

void ToolbarWindow::closeEvent(QCloseEvent* event) {
    event->ignore();  // the modal run ends through the logic, which then hides us
    m_dlg->OnCancel();
}
