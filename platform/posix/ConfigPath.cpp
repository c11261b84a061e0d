#include "platform/posix/ConfigPath.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace platform {
namespace {

std::string PasswordHome() {
    const passwd* pw = getpwuid(getuid());
    return pw && pw->pw_dir ? pw->pw_dir : "";
}

}  // namespace

std::string SettingsFilePath() {
    return SettingsFilePath({[](const char* name) { return std::getenv(name); }, PasswordHome});
}

std::string SettingsFilePath(const ConfigEnvironment& env) {
    const char* config = env.getenv("XDG_CONFIG_HOME");
    if (config && *config == '/') return std::string(config) + "/Tarnholm/Selvarine.reg";
    std::string home;
    if (const char* h = env.getenv("HOME"); h && *h == '/') {
        home = h;
    } else {
        // A relative HOME would put the file wherever the program was started. The password
        // database's home counts only as a folder of this user's: system accounts name "/" or
        // a folder that does not exist, and a folder of another user is not a private one.
        home = env.passwordHome ? env.passwordHome() : std::string();
        struct stat st {};
        if (home.empty() || home[0] != '/' || stat(home.c_str(), &st) != 0 ||
            !S_ISDIR(st.st_mode) || st.st_uid != getuid())
            return {};
    }
    return home + "/.config/Tarnholm/Selvarine.reg";
}

}  // namespace platform
