#pragma once
// Starting one language's engine: load it from its voice directory, read the voice limits,
// and hand it the user dictionary.

#include <cstdint>
#include <string>

#include "engine/EngineApi.h"
#include "engine/EngineSet.h"
#include "platform/MessageBox.h"

// The voice limits of the last engine that started (one set for all languages), read by
// the voice settings dialogs. Zero until an engine has started.
extern int g_volumeMin, g_volumeMax, g_volumeDefault;
extern int g_speedMin, g_speedMax, g_speedDefault;
extern int g_pitchMin, g_pitchMax, g_pitchDefault;

namespace engine {

// True exactly when the file exists and holds 0 bytes. A missing file is not empty: its
// load is attempted, fails, and the user hears about it.
bool IsUserDicEmpty(const std::string& path);

struct StartContext {
    EngineSet& engines;
    platform::MessageBox& messages;
    std::intptr_t window;
    std::string appDir;   // ends with '/'
    std::string caption;  // the application's message box caption
};

// Returns 1 when the engine loaded (a refused dictionary does not change that), else 0.
int StartEngine(const StartContext& ctx, int language, const std::string& userDicPath);

}  // namespace engine
