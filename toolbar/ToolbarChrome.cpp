#include "toolbar/ToolbarChrome.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

#include "toolbar/Skin.h"
#include "toolbar/SkinButton.h"
#include "toolbar/WindowOutline.h"

ToolbarChrome::ToolbarChrome(QWidget* toolbar) : QObject(toolbar), m_toolbar(toolbar) {
    // Mouse moves without a button pressed choose the cursor over the logo and end the hover
    // look when the cursor reaches the background.
    m_toolbar->setMouseTracking(true);
}

void ToolbarChrome::loadSkin() {
    m_skin = Skin::load();
}

void ToolbarChrome::buildWindowRegion() {
    m_toolbar->setMask(WindowOutline::build(m_skin, SkinLayout::kKeyColour, m_toolbar->size()));
}

const ToolbarChrome::Buttons& ToolbarChrome::createButtons(std::function<int()> language) {
    for (std::size_t i = 0; i < SkinLayout::kButtons.size(); ++i) {
        const SkinLayout::Button& place = SkinLayout::kButtons[i];
        std::function<int()> cell;
        if (place.cell >= 0) {
            cell = [c = place.cell] { return c; };
        } else {
            cell = [language] { return SkinLayout::languageCell(language ? language() : -1); };
        }
        auto* button = new SkinButton(m_skin, std::move(cell), m_toolbar);
        button->setObjectName(QStringLiteral("button%1").arg(place.id));
        // A picture button's name is the text its tooltip shows: screen readers and test
        // tools find the controls by it.
        button->setAccessibleName(QString::fromUtf8(place.toolTip));
        button->setGeometry(place.left, place.top, place.right - place.left,
                            place.bottom - place.top);
        button->installEventFilter(this);
        button->show();
        m_buttons[i] = button;
    }
    return m_buttons;
}

SkinButton* ToolbarChrome::button(int id) const {
    for (std::size_t i = 0; i < SkinLayout::kButtons.size(); ++i)
        if (SkinLayout::kButtons[i].id == id) return m_buttons[i];
    return nullptr;
}

void ToolbarChrome::createToolTips() {
    m_toolbar->setAttribute(Qt::WA_AlwaysShowToolTips);
    for (std::size_t i = 0; i < SkinLayout::kButtons.size(); ++i)
        if (m_buttons[i])
            m_buttons[i]->setToolTip(QString::fromUtf8(SkinLayout::kButtons[i].toolTip));
}

void ToolbarChrome::paintBackground(QPainter& painter) const {
    Skin::paintBackground(painter, m_skin);
}

bool ToolbarChrome::mousePress(QMouseEvent* event) {
    // No explicit grab: Qt grabs the mouse for the pressed widget until release, so the
    // moves keep coming while the cursor is outside the toolbar.
    return m_drag.press(event->position().toPoint(), event->button());
}

bool ToolbarChrome::mouseMove(QMouseEvent* event) {
    if (event->buttons() == Qt::NoButton) {
        apply(m_hover.background());
        updateCursor(event->position().toPoint());
    }
    const auto topLeft = m_drag.move(event->globalPosition().toPoint(), event->buttons());
    if (!topLeft) return false;
    if (*topLeft != m_toolbar->pos()) m_toolbar->move(*topLeft);
    return true;
}

bool ToolbarChrome::mouseRelease(QMouseEvent* event) {
    return m_drag.release(event->button());
}

bool ToolbarChrome::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) {
        for (std::size_t i = 0; i < m_buttons.size(); ++i) {
            if (m_buttons[i] != watched) continue;
            const int index = static_cast<int>(i);
            apply(event->type() == QEvent::Enter ? m_hover.enter(index) : m_hover.leave(index));
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void ToolbarChrome::apply(HoverTracker::Change change) {
    for (int index : {change.lost, change.gained})
        if (index >= 0 && m_buttons[index]) m_buttons[index]->update();
}

void ToolbarChrome::updateCursor(QPoint clientPos) {
    const Qt::CursorShape shape =
        DragController::showsMoveCursor(clientPos) ? Qt::SizeAllCursor : Qt::ArrowCursor;
    if (m_toolbar->cursor().shape() != shape) m_toolbar->setCursor(shape);
}
