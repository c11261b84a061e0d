#include "dialogs/SettingsCommand.h"

namespace dialogs {

bool OnSettings(const SettingsCommandContext& ctx) {
    ctx.paused = 0;
    bool ok = false;
    const int index = engine::LanguageIndex(ctx.language);
    std::string* path = index < 0 ? nullptr : ctx.userDicPaths[index];
    VoiceDialogServices services = ctx.services;
    services.keep = [&](const settings::VoiceChoice& choice) {
        *path = choice.userDicPath;
        if (ctx.services.keep) ctx.services.keep(choice);
    };
    if (auto dialog = MakeVoiceSettingsDialog(ctx.language, services)) {
        ctx.services.engines.Stop(ctx.language);
        dialog->m_userDicPath = *path;
        ctx.setTopmost(false);
        if (ctx.flushSettings) ctx.flushSettings();
        ok = ctx.runner.Run(*dialog) == kIdOk;
    }
    ctx.setTopmost(true);
    return ok;
}

}  // namespace dialogs
