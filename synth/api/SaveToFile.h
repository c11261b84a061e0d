#pragma once
// Saving an engine's speech to a sound file, behind VT_SAVETTS_x and VT_SAVESTATUS_x
// (engine/EngineApi.h states the contract). Any thread, any state; never throws.

#include "synth/pipeline/Language.h"

namespace synth {

// A VtSaveStatus: VT_SAVE_RUNNING once the save has begun.
short saveToFile(Language lang, const char* text, int pitch, int speed, int volume,
                 const char* path, int format);
// How the latest save of the engine stands; its share of the text done in *permille.
short saveStatus(Language lang, int* permille);

}  // namespace synth
