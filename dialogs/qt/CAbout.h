#pragma once
// The About box (resource 100): the program icon, the product line, the build's details and
// OK. Escape and the close box end it too; nothing is stored.

#include <QDialog>

class QLabel;
class QPushButton;

class CAbout : public QDialog {
  public:
    explicit CAbout(QWidget* parent = nullptr);
    ~CAbout() override;

    QPushButton* OkButton() const { return m_btnOk; }

  private:
    QPushButton* m_btnOk;
};
