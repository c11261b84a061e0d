#include "app/Globals.h"

int g_nLanguage;
int g_bEngineLoaded[11];
std::string g_szAppDir;
VoiceSettings g_voiceJpn, g_voiceEng, g_voiceChi, g_voiceKor;
int g_nChiCodepage;

VoiceSettings* VoiceSettingsFor(int language) {
    switch (language) {
        case 7: return &g_voiceJpn;
        case 8: return &g_voiceEng;
        case 9: return &g_voiceChi;
        case 10: return &g_voiceKor;
        default: return nullptr;
    }
}
