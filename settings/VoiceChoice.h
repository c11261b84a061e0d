#pragma once
// What a voice settings dialog opens with and what it hands back at OK. The dialogs get these
// values passed in and hand their result to one writer, so they never touch the process-wide
// state or the settings file themselves.

#include <string>

#include "settings/Globals.h"

namespace settings {

// The values in force when a dialog opens.
struct VoiceInForce {
    VoiceSettings voice;
    int chiCodepage = 0;
};

// A voice dialog's result at OK.
struct VoiceChoice {
    int language = 0;
    VoiceSettings voice;
    // The dictionary in force after OK. storePath is false when the chosen file could not be
    // loaded: the path then went back to the one in force at opening and is not written.
    std::string userDicPath;
    bool storePath = false;
    // The chosen character code of Chinese text, 0..3; -1 when none was chosen (and for every
    // other language), which leaves the code in force as it is.
    int chiCodepage = -1;
};

}  // namespace settings
