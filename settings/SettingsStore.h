#pragma once
// The settings in the per-user hive: one key per stage, loaded once at start-up. Any
// failure inside a stage (key missing, value missing or too long) resets the whole stage
// to its defaults and writes them back at once.
//
//   SOFTWARE\Tarnholm\Selvarine            "language", "X", "Y" (and "AutoLanguage", below)
//   SOFTWARE\Tarnholm\Selvarine\Japanese   "volume", "speed", "pitch", "UserDicPath"
//   ...\English, ...\Chinese (+ "codepage" before "UserDicPath"), ...\Korean

#include <cstdint>
#include <string>

#include "engine/Languages.h"
#include "platform/RegistryHive.h"
#include "settings/Globals.h"
#include "settings/VoiceChoice.h"

namespace settings {

inline constexpr const char* kTopKey = "SOFTWARE\\Tarnholm\\Selvarine";

// Where the loaded values go.
struct Targets {
    int* language;
    int* x;
    int* y;
    VoiceSettings* voices[engine::kLanguageCount];  // by language index: Japanese first
    int* chiCodepage;
    std::string* userDicPaths[engine::kLanguageCount];  // same order
};

// The default user dictionary of language 7..10, below the program directory.
std::string DefaultUserDicPath(const std::string& appDir, int language);
// The registry key of language 7..10 ("SOFTWARE\Tarnholm\Selvarine\Japanese" and so on);
// empty for any other number.
std::string LanguageKey(int language);

void LoadSettings(platform::RegistryHive& hive, const std::string& appDir, const Targets& targets);
// Reads the stages again, for values another program changed while the toolbar runs. A
// stage that cannot be read in full leaves its targets as they were; nothing is written.
void ReadStoredSettings(platform::RegistryHive& hive, const Targets& targets);

// Writers that only update existing keys (never create them) and fail silently.
void SavePosition(platform::RegistryHive& hive, int x, int y);
void SaveLanguage(platform::RegistryHive& hive, int language);
// "volume", "speed", "pitch" (its 16 bits, upper half 0) and, when userDicPath is given,
// "UserDicPath" under the key of language 7..10.
void SaveVoice(platform::RegistryHive& hive, int language, const VoiceSettings& voice,
               const std::string* userDicPath);
// "codepage" under the Chinese key.
void SaveChineseCodepage(platform::RegistryHive& hive, int codepage);

// "AutoLanguage" under the top key: 0 reads every selection with the chosen language alone,
// anything else has the runs of another script read by their own language. Read outside the
// stages, so a file written before the value existed keeps its top stage: a missing or
// unreadable value means 1 and is not written back.
int LoadAutoLanguage(platform::RegistryHive& hive);
void SaveAutoLanguage(platform::RegistryHive& hive, int on);

// "Voice" under the key of language 7..10: the folder name of the added voice that speaks
// the language; empty (or missing, or unreadable) for the built-in voice. Read at each
// reading, like a hand edit of the other voice values; never part of the stages, so files
// written before it existed keep theirs. Save returns false when it was not written.
std::string LoadAddedVoice(platform::RegistryHive& hive, int language);
bool SaveAddedVoice(platform::RegistryHive& hive, int language, const std::string& name);

// The voice of language 7..10 and the Chinese code, as the process holds them.
VoiceInForce VoiceInForceFor(int language);
// The one writer of a voice dialog's result: the process-wide voice and Chinese code, and the
// settings file (voice, "UserDicPath" when storePath, "codepage" when one was chosen).
void KeepVoiceChoice(platform::RegistryHive& hive, const VoiceChoice& choice);

}  // namespace settings
