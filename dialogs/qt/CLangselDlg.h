#pragma once
// The language selection dialog (resource 134): four push-like picture radio buttons, one per
// reading language, and OK, キャンセル and バージョン情報. Languages whose engine did not start
// show their caption instead of the picture and cannot be chosen.

#include <QDialog>
#include <QPixmap>

#include <array>

#include "dialogs/LanguageSelection.h"

class QAbstractButton;
class QPushButton;

class CLangselDlg : public QDialog {
  public:
    // engineLoaded is indexed by language number 0..10 and must outlive the dialog.
    explicit CLangselDlg(const int (&engineLoaded)[11], QWidget* parent = nullptr);
    ~CLangselDlg() override;

    // Prepares the buttons from m_language and the engines that started, then runs modally.
    int DoModal();
    // Loads the pictures and sets up the language buttons; DoModal runs it first.
    bool OnInitDialog();

    // The button of language 7..10, or null.
    QAbstractButton* LanguageButton(int language) const;
    QPushButton* OkButton() const { return m_btnOk; }
    QPushButton* CancelButton() const { return m_btnCancel; }
    QPushButton* AboutButton() const { return m_btnAbout; }

    int m_language = 0;
    // Japanese, English, Chinese, Korean, magenta already turned into the button face.
    std::array<QPixmap, engine::kLanguageCount> m_hButtonImages;

  private:
    void OnAbout();

    const int (&m_engineLoaded)[11];
    std::array<QPushButton*, engine::kLanguageCount> m_btnLanguages{};
    QPushButton* m_btnOk;
    QPushButton* m_btnCancel;
    QPushButton* m_btnAbout;
};

// Runs CLangselDlg for the toolbar, one dialog per run.
class QtLanguageSelection final : public dialogs::LanguageSelectionDialog {
  public:
    explicit QtLanguageSelection(const int (&engineLoaded)[11]) : m_engineLoaded(engineLoaded) {}
    bool Run(int& language) override;

  private:
    const int (&m_engineLoaded)[11];
};
