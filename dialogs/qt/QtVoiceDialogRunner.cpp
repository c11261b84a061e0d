#include "dialogs/qt/QtVoiceDialogRunner.h"

#include "dialogs/qt/VoiceSettingsWindow.h"

namespace dialogs {

int QtVoiceDialogRunner::Run(VoiceSettingsDialog& dialog) {
    const LayoutSet& layouts = VoiceSettingsLayouts();
    const DialogLayout* layout = layouts.Find(dialog.Language().settingsDialog);
    if (!layout) return kIdCancel;
    VoiceSettingsWindow window(*layout, layouts.font, dialog);
    dialog.SetView(&window);
    dialog.OnInitDialog();
    const int result = window.exec();
    dialog.SetView(nullptr);
    return result == kIdOk ? kIdOk : kIdCancel;
}

}  // namespace dialogs
