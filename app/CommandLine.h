#pragma once
// The program's command line, read before anything starts a GUI, so that --help and
// --version answer without a display. Plain C++.

#include <string>
#include <string_view>

namespace app {

// One row per option. The action says what the option asks for: "help" and "version" are
// answered by ReadCommandLine itself; any other action is handed back to the caller.
struct CommandLineOption {
    std::string_view name;    // "--help"
    std::string_view help;    // one line of --help
    std::string_view action;  // "help", "version", or one the caller carries out
};

// The rows after --version are actions for the running toolbar (started first when none
// runs), handed over the session bus; the option is "--" and the action's name.
inline constexpr CommandLineOption kCommandLineOptions[] = {
    {"--help", "show this help and exit", "help"},
    {"--version", "show the version and exit", "version"},
    {"--read-selection", "read the text selected in the window you are in", "read-selection"},
    {"--read-all", "read the whole text of the window you are in", "read-all"},
    {"--read-clipboard", "read the text on the clipboard", "read-clipboard"},
    {"--pause-resume", "pause the reading, or resume it", "pause-resume"},
    {"--stop", "stop the reading", "stop"},
    {"--next-sentence", "go on from the next sentence", "next-sentence"},
    {"--previous-sentence", "go back to the sentence's start, or the one before", "previous-sentence"},
    {"--faster", "speak faster", "faster"},
    {"--slower", "speak slower", "slower"},
    {"--quit", "close the toolbar", "quit"},
};

struct CommandLineResult {
    // Negative: go on, with `action` (empty: start the toolbar). Otherwise the program ends
    // at once with this status after printing `out` on stdout and `error` on stderr.
    int exitStatus = -1;
    std::string out;
    std::string error;
    std::string action;
};

// Reads argv[1..argc). Qt's own options (-platform NAME, -display NAME, -reverse...) pass
// through for the QApplication. Anything else unknown, a second action or a stray argument
// is refused with exit status 2 and a line naming it.
CommandLineResult ReadCommandLine(int argc, const char* const* argv);

}  // namespace app
