#pragma once
// The reading options each engine library is told before every play and save
// (VT_SETOPTION_x), read from the settings file each time, so a change made in a dialog or by
// hand counts from the next reading on.

#include <string>
#include <utility>
#include <vector>

#include "platform/RegistryHive.h"

namespace settings {

using EngineOptions = std::vector<std::pair<std::string, std::string>>;

// Name and value of each option for language 7..10.
EngineOptions EngineOptionsFor(platform::RegistryHive& hive, int language);

}  // namespace settings
