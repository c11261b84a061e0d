#include "settings/Globals.h"

#include "engine/Languages.h"

int g_nLanguage;
int g_bEngineLoaded[11];
std::string g_szAppDir;
VoiceSettings g_voiceJpn, g_voiceEng, g_voiceChi, g_voiceKor;
int g_nChiCodepage;
int g_bAutoLanguage = 1;

VoiceSettings* VoiceSettingsFor(int language) {
    static VoiceSettings* const kVoices[engine::kLanguageCount] = {&g_voiceJpn, &g_voiceEng,
                                                                   &g_voiceChi, &g_voiceKor};
    const int index = engine::LanguageIndex(language);
    return index < 0 ? nullptr : kVoices[index];
}
