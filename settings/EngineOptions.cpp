#include "settings/EngineOptions.h"

#include "settings/SettingsStore.h"

namespace settings {

EngineOptions EngineOptionsFor(platform::RegistryHive& hive, int language) {
    return {{"voice", LoadAddedVoice(hive, language)}};
}

}  // namespace settings
