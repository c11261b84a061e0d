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

inline constexpr CommandLineOption kCommandLineOptions[] = {
    {"--help", "show this help and exit", "help"},
    {"--version", "show the version and exit", "version"},
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
