#include "app/RemoteActions.h"

#include "app/CommandLine.h"

std::optional<std::string> RemoteActionOf(int argc, char** argv) {
    if (argc != 2) return std::nullopt;
    const app::CommandLineResult command = app::ReadCommandLine(argc, argv);
    if (command.exitStatus >= 0 || command.action.empty()) return std::nullopt;
    return command.action;
}
