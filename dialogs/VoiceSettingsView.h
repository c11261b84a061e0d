#pragma once
// What the voice settings dialogs' logic asks of their window. The Qt dialog implements it;
// tests use a fake, so every decision runs without a display.

#include <string>

#include "platform/WindowSystem.h"

namespace dialogs {

// Control identifiers shared by the four voice settings dialogs.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kSliderVolume = 1000;
inline constexpr int kSliderSpeed = 1029;
inline constexpr int kSliderPitch = 1002;
inline constexpr int kEditVolume = 1005;
inline constexpr int kEditSpeed = 1030;
inline constexpr int kEditPitch = 1007;
inline constexpr int kButtonDefaults = 1034;
inline constexpr int kButtonTest = 1017;
inline constexpr int kStaticTestSentence = 1018;
inline constexpr int kEditUserDicPath = 1037;
inline constexpr int kButtonBrowse = 1038;
inline constexpr int kButtonEditUserDic = 1031;
// The Chinese dialog's character-code radio group, in the order of g_nChiCodepage.
inline constexpr int kCodePageButtons[] = {1003, 1004, 1008, 1009};

inline constexpr int kEditorWatchTimer = 1000;
inline constexpr int kEditorWatchPeriodMs = 200;

class VoiceSettingsView {
  public:
    virtual ~VoiceSettingsView() = default;

    virtual platform::WindowId NativeWindow() = 0;
    // Texts are UTF-8. Setting an edit's text never runs its focus-loss check.
    virtual std::string ControlText(int id) = 0;
    virtual void SetControlText(int id, const std::string& text) = 0;
    // Positions are clamped to the slider's range, as the control does; setting one does not
    // count as a scroll (OnHScroll is not called).
    virtual int SliderPos(int id) = 0;
    virtual void SetSliderPos(int id, int pos) = 0;
    virtual void SetSliderRange(int id, int lower, int upper) = 0;
    virtual void SetTickFrequency(int id, int frequency) = 0;
    // Checks button id of the radio group and clears the others; 0 clears them all.
    virtual void CheckRadio(int id) = 0;
    virtual bool IsChecked(int id) = 0;
    // Draws the test sentence in control id with the first installed font of the list.
    virtual void DrawSentence(int id, const std::string& text, const std::string& fontFamilies) = 0;
    // A disabled dialog takes no input and cannot be confirmed, cancelled or closed.
    virtual void Enable(bool enabled) = 0;
    virtual bool SetTimer(int id, int periodMs) = 0;
    virtual void KillTimer(int id) = 0;
    // Shows the dialog above the other windows without leaving it on top.
    virtual void BringToFront() = 0;
    // The file-open dialog; names of files that do not exist yet are accepted. Returns false
    // when cancelled.
    virtual bool AskOpenFile(const std::string& title, const std::string& filter,
                             const std::string& initialPath, std::string* chosen) = 0;
    virtual void EndDialog(int result) = 0;
};

}  // namespace dialogs
