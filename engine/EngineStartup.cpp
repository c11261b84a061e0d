#include "engine/EngineStartup.h"

#include <sys/stat.h>

int g_volumeMin, g_volumeMax, g_volumeDefault;
int g_speedMin, g_speedMax, g_speedDefault;
int g_pitchMin, g_pitchMax, g_pitchDefault;

namespace engine {

bool IsUserDicEmpty(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && st.st_size == 0;
}

int StartEngine(const StartContext& ctx, int language, const std::string& userDicPath) {
    const LanguageInfo* lang = FindLanguage(language);
    if (!lang) return 0;
    const std::string engineDir = ctx.appDir + lang->voiceDir;
    if (ctx.engines.Load(language, ctx.window, lang->speaker, engineDir.c_str()) != 0) return 0;

    struct Limit {
        int code;
        int* target;
    };
    const Limit limits[] = {
        {VT_INFO_VOLUME_MAX, &g_volumeMax},    {VT_INFO_VOLUME_MIN, &g_volumeMin},
        {VT_INFO_VOLUME_DEFAULT, &g_volumeDefault}, {VT_INFO_SPEED_MIN, &g_speedMin},
        {VT_INFO_SPEED_MAX, &g_speedMax},      {VT_INFO_SPEED_DEFAULT, &g_speedDefault},
        {VT_INFO_PITCH_MIN, &g_pitchMin},      {VT_INFO_PITCH_MAX, &g_pitchMax},
        {VT_INFO_PITCH_DEFAULT, &g_pitchDefault}};
    for (const Limit& l : limits) ctx.engines.GetInfo(language, l.code, l.target);

    ctx.engines.UnloadUserDict(language);
    if (!IsUserDicEmpty(userDicPath) &&
        ctx.engines.LoadUserDict(language, userDicPath.c_str()) != 1) {
        ctx.messages.Show(lang->dicFailureMessage, ctx.caption,
                          platform::MessageKind::AppExclamation);
    }
    return 1;
}

}  // namespace engine
