#pragma once
// Process-wide state shared by the toolbar's subsystems. Everything here is touched only
// by the UI thread.

#include <cstdint>
#include <string>

struct VoiceSettings {
    int volume = 0;
    int speed = 0;
    std::int16_t pitch = 0;  // widened with its sign where read
};

// Current reading language: 7 Japanese, 8 English, 9 Chinese, 10 Korean.
extern int g_nLanguage;
// Indexed by language number 0..10 (0..6 name languages this edition does not offer);
// entries 7..10 are 1 once that engine has started.
extern int g_bEngineLoaded[11];
// The program's directory, ending with '/'.
extern std::string g_szAppDir;
extern VoiceSettings g_voiceJpn, g_voiceEng, g_voiceChi, g_voiceKor;
// Character code of Chinese text: 0 GB, 1 QZ simplified, 2 Big5, 3 QZ traditional.
extern int g_nChiCodepage;
// 1: runs of another script are read by their own language's voice; 0: the chosen language
// reads everything.
extern int g_bAutoLanguage;

// The voice settings of language 7..10, or null for any other number.
VoiceSettings* VoiceSettingsFor(int language);

// The program's own title, the caption of the application's message boxes.
inline constexpr const char* kProgramTitle = "selvarine";
