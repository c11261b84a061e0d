#pragma once
// The caption strip: a small borderless window above all others that never takes the focus
// or a click (input passes through to the window under it). Its label carries the sentence
// as its accessible name, so assistive tools read the same text.

#include <QWidget>

#include "app/CaptionFollower.h"

class QLabel;

class CaptionWindow final : public QWidget, public CaptionView {
  public:
    CaptionWindow();
    ~CaptionWindow() override;

    int ShowCaption(const std::string& sentence, int wordStart, int wordEnd) override;
    void MoveCaption(int x, int y) override;
    void HideCaption() override;

  private:
    QLabel* m_label;
};
