#include "dialogs/SettingsCommand.h"

#include "app/SettingsStore.h"

namespace dialogs {

bool OnSettings(const SettingsCommandContext& ctx) {
    ctx.paused = 0;
    bool ok = false;
    if (auto dialog = MakeVoiceSettingsDialog(ctx.language, ctx.services)) {
        ctx.services.engines.Stop(ctx.language);
        std::string& path = *ctx.userDicPaths[engine::LanguageIndex(ctx.language)];
        dialog->m_userDicPath = path;
        ctx.setTopmost(false);
        if (ctx.flushSettings) ctx.flushSettings();
        if (ctx.runner.Run(*dialog) == kIdOk) {
            ok = true;
            if (auto* chinese = dynamic_cast<MODE_C*>(dialog.get())) {
                // -1 (no button selected) writes nothing: the stored code stays the one
                // that g_nChiCodepage still holds.
                if (chinese->m_codePageIndex >= 0 && chinese->m_codePageIndex < 4)
                    settings::SaveChineseCodepage(ctx.services.hive, chinese->m_codePageIndex);
            }
            path = dialog->m_userDicPath;
        }
    }
    ctx.setTopmost(true);
    return ok;
}

}  // namespace dialogs
