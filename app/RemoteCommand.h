#pragma once
// The command-line side of selvarine --ACTION: hands the action to the running toolbar over
// the session bus and returns; with no toolbar running, starts one and then hands it over.

#include <string>

// The process's exit status: 0 once the toolbar has the action; 1 when the toolbar could not
// be started or refused it; 2 when there is no session bus. Says why on stderr.
int RunRemoteCommand(int argc, char** argv, const std::string& action);
