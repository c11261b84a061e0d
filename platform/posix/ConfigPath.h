#pragma once
// Where the settings of this user live: $XDG_CONFIG_HOME when absolute, else the home
// folder's .config, the home folder being $HOME when absolute, else the password database's
// entry when it names a folder of this user. Empty when there is no such folder: never a
// folder that other users share.

#include <functional>
#include <string>

namespace platform {

struct ConfigEnvironment {
    std::function<const char*(const char* name)> getenv;
    std::function<std::string()> passwordHome;  // the user's home in the password database
};

std::string SettingsFilePath(const ConfigEnvironment& env);
// From this process's environment and the password database.
std::string SettingsFilePath();

}  // namespace platform
