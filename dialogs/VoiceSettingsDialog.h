#pragma once
// The voice settings dialogs MODE_J, MODE_E, MODE_C and MODE_K: volume, speed and pitch with
// a slider and a number each, a test of the voice, the engine's defaults, the user dictionary
// (its handlers in UserDicHandlers.cpp) and, for Chinese, the character code. One family:
// the differences are rows of engine::kLanguages, and MODE_C adds the character code.
//
// Nothing is kept before OK: then the dictionary is reloaded in the engine and the result is
// handed to VoiceDialogServices::keep, which alone writes it.

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "dialogs/VoiceSettingsView.h"
#include "engine/EngineSet.h"
#include "platform/MessageBox.h"
#include "platform/ProcessLauncher.h"
#include "platform/RegistryHive.h"
#include "settings/VoiceChoice.h"

namespace dialogs {

struct VoiceDialogServices {
    engine::EngineSet& engines;
    platform::RegistryHive& hive;
    platform::MessageBox& messages;
    platform::ProcessLauncher& processes;
    platform::WindowSystem& windows;
    std::string appDir;  // the program directory, ending with '/'
    // The values in force for a language, read when the dialog opens and again at OK.
    std::function<settings::VoiceInForce(int language)> inForce;
    // Takes the result at OK, at the moment it is to be kept (a dictionary failure message
    // comes before or after it as the language's row says).
    std::function<void(const settings::VoiceChoice&)> keep;
};

// One of volume, speed, pitch: its controls, the caption of its range message and the
// bounds of the last engine that started (speed stops 150 below the engine's maximum).
struct Quantity {
    int slider;
    int edit;
    const char* caption;
    int lower, upper, defaultValue;
    bool Contains(long long v) const { return v >= lower && v <= upper; }
};
std::array<Quantity, 3> Quantities();

// The number in an edit, read as atoi reads its first 19 characters: leading blanks, a
// sign, digits up to the first other character, 0 without digits. Saturates far outside
// the int range instead of wrapping back into it.
long long ParseNumber(std::string_view text);
// "%d-%dの範囲で値を設定してください。"
std::string RangeMessage(int lower, int upper);

// The language's test sentence (UTF-8), as its settings dialog shows it.
std::string TestSentence(const engine::LanguageInfo& lang);
// Stops the language's engine and has it read the test sentence.
void PlayTestSentence(engine::EngineSet& engines, const engine::LanguageInfo& lang,
                      std::intptr_t window, int pitch, int speed, int volume);

// Longest dictionary path taken (bytes, terminator excluded); longer ones are refused.
inline constexpr std::size_t kMaxUserDicPath = 259;

class VoiceSettingsDialog {
  public:
    VoiceSettingsDialog(int language, const VoiceDialogServices& services);
    virtual ~VoiceSettingsDialog();
    VoiceSettingsDialog(const VoiceSettingsDialog&) = delete;
    VoiceSettingsDialog& operator=(const VoiceSettingsDialog&) = delete;

    void SetView(VoiceSettingsView* view) { m_view = view; }
    const engine::LanguageInfo& Language() const { return m_lang; }

    bool OnInitDialog();
    void OnKillFocusVolume() { OnKillFocus(kEditVolume); }
    void OnKillFocusSpeed() { OnKillFocus(kEditSpeed); }
    void OnKillFocusPitch() { OnKillFocus(kEditPitch); }
    void OnKillFocus(int editId);
    void OnHScroll(int controlId);
    void OnDefaults();
    void OnTest();
    void OnOK();
    void OnCancel();

    // The user dictionary (UserDicHandlers.cpp).
    void OnBrowseUserDic();
    void OnEditUserDic();
    void OnTimer(int id);
    bool IsWatchingEditor() const { return m_editorProcess != platform::kNoProcess; }
    platform::WindowId EditorWindow() const { return m_hEditorWnd; }

    // Set by the caller before the run, read back after OK.
    std::string m_userDicPath;
    int m_volume = 0, m_speed = 0, m_pitch = 0;

  protected:
    // MODE_C's character code: shown at start, chosen and exchanged at OK.
    virtual void InitCodePageChoice(int /*chiCodepage*/) {}
    virtual int ChosenCodePage() { return -1; }
    virtual void ExchangeCodePageChoice() {}
    VoiceSettingsView& View() { return *m_view; }

  private:
    void ShowAppMessage(const std::string& text);
    // Hands the dictionary to the engine; an empty file counts as loaded and is not handed.
    bool LoadDictionary(const std::string& path);
    void EndEditorWatch();
    settings::VoiceInForce InForce() const;
    void Keep(const VoiceSettings& voice, int chiCodepage, bool storePath);

    const engine::LanguageInfo& m_lang;
    VoiceDialogServices m_svc;
    VoiceSettingsView* m_view = nullptr;
    std::string m_strPathAtOpen;  // the dictionary in force when the dialog opened
    platform::ProcessId m_editorProcess = platform::kNoProcess;
    platform::WindowId m_hEditorWnd = platform::kNoWindow;
    int m_nEditorWaitTicks = 0;
};

class MODE_J final : public VoiceSettingsDialog {
  public:
    explicit MODE_J(const VoiceDialogServices& s) : VoiceSettingsDialog(engine::kJapanese, s) {}
};

class MODE_E final : public VoiceSettingsDialog {
  public:
    explicit MODE_E(const VoiceDialogServices& s) : VoiceSettingsDialog(engine::kEnglish, s) {}
};

class MODE_C final : public VoiceSettingsDialog {
  public:
    explicit MODE_C(const VoiceDialogServices& s) : VoiceSettingsDialog(engine::kChinese, s) {}
    // Index of the selected character-code button after OK (0 GB .. 3 QZ traditional), -1
    // when none was selected.
    int m_codePageIndex = -1;

  protected:
    void InitCodePageChoice(int chiCodepage) override;
    int ChosenCodePage() override;
    void ExchangeCodePageChoice() override;
};

class MODE_K final : public VoiceSettingsDialog {
  public:
    explicit MODE_K(const VoiceDialogServices& s) : VoiceSettingsDialog(engine::kKorean, s) {}
};

// The dialog of language 7..10; null for any other number.
std::unique_ptr<VoiceSettingsDialog> MakeVoiceSettingsDialog(int language,
                                                             const VoiceDialogServices& services);

}  // namespace dialogs
