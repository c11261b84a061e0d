#pragma once

#include <QImage>
#include <QObject>

#include <array>
#include <functional>

#include "toolbar/DragController.h"
#include "toolbar/HoverTracker.h"
#include "toolbar/SkinLayout.h"

class QMouseEvent;
class QPainter;
class QWidget;
class SkinButton;

// The toolbar's look and feel for a given toolbar widget: the skin, the cut-out outline,
// the owner-drawn buttons with their hover look, the tooltips and dragging by the logo. The
// widget keeps its own logic and calls these hooks from its initialisation, paint and mouse
// handlers.
class ToolbarChrome : public QObject {
  public:
    using Buttons = std::array<SkinButton*, SkinLayout::kButtons.size()>;

    explicit ToolbarChrome(QWidget* toolbar);

    // Decodes the embedded skin; the buttons and the background paint share it.
    void loadSkin();
    const QImage& skin() const { return m_skin; }

    // Cuts the window outline out of the skin's key colour. Call after the toolbar has its
    // final size.
    void buildWindowRegion();

    // Creates the seven buttons at their fixed places, in tab order. language() is asked at
    // every paint of the language button, which shows that language's face.
    const Buttons& createButtons(std::function<int()> language);
    const Buttons& buttons() const { return m_buttons; }
    // The button with this control id, or null.
    SkinButton* button(int id) const;

    // Gives each button its fixed text; tips show even while the toolbar is not the active
    // window, which is the usual case since the user works in another application.
    void createToolTips();

    void paintBackground(QPainter& painter) const;

    // Mouse hooks for the toolbar's own handlers (events over the background, not over a
    // button). Each returns whether it used the event.
    bool mousePress(QMouseEvent* event);
    bool mouseMove(QMouseEvent* event);
    bool mouseRelease(QMouseEvent* event);

    const DragController& drag() const { return m_drag; }
    const HoverTracker& hover() const { return m_hover; }

  protected:
    // Enter and leave of the buttons drive the hover tracking.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void apply(HoverTracker::Change change);
    void updateCursor(QPoint clientPos);

    QWidget* m_toolbar;
    QImage m_skin;
    Buttons m_buttons{};
    DragController m_drag;
    HoverTracker m_hover;
};
