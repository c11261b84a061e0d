#pragma once
// 声の管理: per language, the built-in voice and the voices the user added; choosing one
// keeps it at once. 追加... unpacks a downloaded archive, 削除 removes the selected voice,
// フォルダーを開く shows the voices folder, テスト reads the language's test sentence with
// the chosen voice (through `test`, which the toolbar provides).

#include <QDialog>

#include <functional>

#include "dialogs/VoiceManager.h"
#include "platform/MessageBox.h"

class QComboBox;
class QListWidget;
class QPushButton;

class VoiceManagerWindow : public QDialog {
  public:
    using Test = std::function<void(int language)>;
    VoiceManagerWindow(dialogs::VoiceManager& manager, platform::MessageBox& messages, Test test,
                       int language, QWidget* parent = nullptr);

    int Language() const;
    QListWidget* List() const { return m_list; }

  private:
    void Fill();
    void OnChosen();
    void OnAdd();
    void OnRemove();

    dialogs::VoiceManager& m_manager;
    platform::MessageBox& m_messages;
    Test m_test;
    QComboBox* m_language = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_btnRemove = nullptr;
    bool m_bFilling = false;
};
