#pragma once
// A voice settings dialog's window, built from its layout: it forwards what the user does to
// the dialog's logic and does what the logic asks of it (VoiceSettingsView).

#include <QDialog>

#include <map>

#include "dialogs/DialogLayout.h"
#include "dialogs/VoiceSettingsDialog.h"
#include "platform/qt/QtTimers.h"

class QAbstractSlider;
class QButtonGroup;

namespace dialogs {

class VoiceSettingsWindow final : public QDialog, public VoiceSettingsView {
  public:
    VoiceSettingsWindow(const DialogLayout& layout, const DialogFont& font,
                        VoiceSettingsDialog& logic);
    ~VoiceSettingsWindow() override;

    // VoiceSettingsView
    platform::WindowId NativeWindow() override;
    std::string ControlText(int id) override;
    void SetControlText(int id, const std::string& text) override;
    int SliderPos(int id) override;
    void SetSliderPos(int id, int pos) override;
    void SetSliderRange(int id, int lower, int upper) override;
    void SetTickFrequency(int id, int frequency) override;
    void CheckRadio(int id) override;
    bool IsChecked(int id) override;
    void DrawSentence(int id, const std::string& text, const std::string& fontFamilies) override;
    void Enable(bool enabled) override;
    bool SetTimer(int id, int periodMs) override;
    void KillTimer(int id) override;
    void BringToFront() override;
    bool AskOpenFile(const std::string& title, const std::string& filter,
                     const std::string& initialPath, std::string* chosen) override;
    void EndDialog(int result) override;

    void reject() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* Control(int id) const;
    QAbstractSlider* Slider(int id) const;
    void Build(const DialogLayout& layout, const DialogFont& font);

    VoiceSettingsDialog& m_logic;
    std::map<int, QWidget*> m_controls;
    QButtonGroup* m_radios = nullptr;
    platform::QtTimers m_timers;
};

}  // namespace dialogs
