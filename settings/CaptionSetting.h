#pragma once
// Whether the caption strip shows: DWORD "ShowCaption" under the top key, 0 by default. Any
// other value than 0 turns it on; a value of another type or size counts as absent.

#include "platform/RegistryHive.h"

namespace settings {

bool LoadShowCaption(platform::RegistryHive& hive);
// Writes 0 or 1 into the existing top key; does nothing when it is missing.
void SaveShowCaption(platform::RegistryHive& hive, bool show);

}  // namespace settings
