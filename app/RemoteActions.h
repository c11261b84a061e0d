#pragma once
// The actions the command line hands to the running toolbar (selvarine --stop, ...): each
// option is "--" and the action's name, and the toolbar runs the name (CBrisoletDlg::RunAction).

#include <optional>
#include <string>
#include <string_view>

// The action named by a command line that is exactly one such option (app/CommandLine.h);
// nullopt otherwise.
std::optional<std::string> RemoteActionOf(int argc, char** argv);
