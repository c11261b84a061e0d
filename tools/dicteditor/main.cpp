// The user dictionary editor. One program, installed as each language's editor name in that
// voice's bin folder; it serves the language its file name names. Its one argument is the
// dictionary file.

#include <QApplication>

#include <memory>
#include <string>

#include "platform/ProgramDir.h"
#include "platform/posix/RegFileHive.h"
#include "settings/SettingsStore.h"
#include "platform/x11/X11QtStart.h"
#include "tools/dicteditor/EditorLanguage.h"
#include "tools/dicteditor/EditorTexts.h"
#include "tools/dicteditor/EditorWindow.h"
#include "tools/dicteditor/EnginePreview.h"
#include "tools/dicteditor/QtPrompts.h"

namespace {

// The added voice the toolbar reads the language with; empty when the settings file has
// none or cannot be read.
std::string AddedVoice(int language) {
    platform::RegFileHive hive(platform::RegFileHive::DefaultPath());
    if (hive.FilePath().empty() || hive.Load() != platform::RegFileHive::LoadResult::Loaded)
        return {};
    return settings::LoadAddedVoice(hive, language);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string argv0 = argc > 0 ? argv[0] : "";
    const std::string program = argv0.substr(argv0.rfind('/') + 1);
    // The toolbar finds this window by its _NET_WM_PID, so it must be an X11 window too.
    platform::X11QtStart start(argc, argv, program);
    if (!start.Ready()) return 1;
    QApplication app(start.Argc(), start.Argv());
    if (!start.OnX11()) return 1;
    argc = start.Argc();  // without the options Qt took
    argv = start.Argv();
    QApplication::setApplicationName(QString::fromStdString(program));
    dicteditor::QtPrompts prompts(nullptr, program);

    const engine::LanguageInfo* language = dicteditor::LanguageForProgram(argv0);
    if (!language) {
        prompts.Warn(dicteditor::UnknownProgramText(program));
        return 2;
    }
    if (argc != 2) {
        prompts.Warn(dicteditor::NoArgumentText(program));
        return 2;
    }
    const std::string path = argv[1];
    dicteditor::DictionaryDocument::LoadResult loaded = dicteditor::DictionaryDocument::Load(path);
    if (!loaded.document) {
        prompts.Warn(dicteditor::LoadFailureText(path, loaded));
        return 1;
    }
    auto preview = std::make_unique<dicteditor::EnginePreview>(
        *language, dicteditor::ProgramDirForEditor(*language, platform::ProgramDirectory()),
        AddedVoice(language->number));
    dicteditor::EditorWindow window(path, std::move(*loaded.document), prompts, std::move(preview));
    window.show();
    return QApplication::exec();
}
