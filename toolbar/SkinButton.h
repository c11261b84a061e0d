#pragma once

#include <QAbstractButton>
#include <QImage>

#include <functional>

// A toolbar button whose face is a skin cell. The look is chosen when drawing: pressed while
// held down, hover while the real cursor is inside, normal otherwise. Focus and disabled
// states have no look of their own.
class SkinButton : public QAbstractButton {
  public:
    // cell() is asked at every paint, so a button can follow changing state (the language
    // button shows the current language's face).
    SkinButton(QImage skin, std::function<int()> cell, QWidget* parent = nullptr);

    int cell() const;
    // The band the next paint would use.
    int currentBand() const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage m_skin;
    std::function<int()> m_cell;
};
