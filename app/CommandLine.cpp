#include "app/CommandLine.h"

#include <algorithm>

#include "SelvarineVersion.h"

namespace app {

namespace {

// QGuiApplication's and QApplication's own options, with whether a value follows. They reach
// Qt untouched, so "-platform xcb" given by hand still wins.
struct QtOption {
    std::string_view name;
    bool takesValue;
};
constexpr QtOption kQtOptions[] = {
    {"-platform", true},      {"-platformpluginpath", true}, {"-platformtheme", true},
    {"-plugin", true},        {"-qwindowgeometry", true},    {"-qwindowicon", true},
    {"-qwindowtitle", true},  {"-display", true},            {"-geometry", true},
    {"-style", true},         {"-stylesheet", true},         {"-session", true},
    {"-reverse", false},      {"-widgetcount", false},       {"-nograb", false},
    {"-dograb", false},       {"-sync", false},
};

constexpr std::string_view kProgram = "selvarine";

std::string Help() {
    std::string text = std::string("Usage: ") + std::string(kProgram) + " [OPTION]\n" +
                       "A toolbar that reads the selected text aloud in Japanese, English, "
                       "Chinese or Korean.\nWithout an option it shows the toolbar.\n\nOptions:\n";
    size_t width = 0;
    for (const CommandLineOption& o : kCommandLineOptions) width = std::max(width, o.name.size());
    for (const CommandLineOption& o : kCommandLineOptions)
        text += "  " + std::string(o.name) + std::string(width - o.name.size() + 2, ' ') +
                std::string(o.help) + "\n";
    text +=
        "\nEnvironment: SELVARINE_AUDIO, SELVARINE_MESSAGES, SELVARINE_VERBOSE.\n"
        "See selvarine(1) for them, the settings file and the voices.\n";
    return text;
}

CommandLineResult Refuse(const std::string& problem) {
    CommandLineResult r;
    r.exitStatus = 2;
    r.error = problem + "\nTry '" + std::string(kProgram) + " --help' for the options.";
    return r;
}

}  // namespace

CommandLineResult ReadCommandLine(int argc, const char* const* argv) {
    const CommandLineOption* chosen = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const auto qt = std::find_if(std::begin(kQtOptions), std::end(kQtOptions),
                                     [&](const QtOption& o) { return o.name == arg; });
        if (qt != std::end(kQtOptions)) {
            if (qt->takesValue && ++i >= argc)
                return Refuse("option '" + std::string(arg) + "' needs a value");
            continue;
        }
        const auto row =
            std::find_if(std::begin(kCommandLineOptions), std::end(kCommandLineOptions),
                         [&](const CommandLineOption& o) { return o.name == arg; });
        if (row == std::end(kCommandLineOptions)) {
            if (arg.empty() || arg[0] != '-')
                return Refuse("unexpected argument '" + std::string(arg) + "'");
            return Refuse("unknown option '" + std::string(arg) + "'");
        }
        // --help wins over anything else asked, as in most programs.
        if (!chosen || row->action == "help") {
            chosen = &*row;
        } else if (chosen->action != "help" && chosen->action != row->action) {
            return Refuse("options '" + std::string(chosen->name) + "' and '" +
                          std::string(arg) + "' cannot be combined");
        }
    }
    CommandLineResult r;
    if (!chosen) return r;
    if (chosen->action == "help") {
        r.exitStatus = 0;
        r.out = Help();
    } else if (chosen->action == "version") {
        r.exitStatus = 0;
        r.out = std::string(kProgram) + " " + SELVARINE_VERSION + "\n";
    } else {
        r.action = std::string(chosen->action);
    }
    return r;
}

}  // namespace app
