#include "settings/CaptionSetting.h"

#include <cstdint>

#include "settings/SettingsStore.h"

namespace settings {

namespace {
constexpr const char* kShowCaption = "ShowCaption";
}

bool LoadShowCaption(platform::RegistryHive& hive) {
    platform::RegKey key = platform::kNoKey;
    if (hive.OpenKey(kTopKey, platform::RegAccess::Read, &key) != platform::kRegOk) return false;
    std::uint32_t value = 0;
    std::uint32_t size = sizeof value;
    platform::RegType type = platform::RegType::None;
    const bool read = hive.QueryValue(key, kShowCaption, &type, &value, &size) == platform::kRegOk;
    hive.CloseKey(key);
    return read && type == platform::RegType::Dword && size == sizeof value && value != 0;
}

void SaveShowCaption(platform::RegistryHive& hive, bool show) {
    platform::RegKey key = platform::kNoKey;
    if (hive.OpenKey(kTopKey, platform::RegAccess::Write, &key) != platform::kRegOk) return;
    platform::SetDword(hive, key, kShowCaption, show ? 1u : 0u);
    hive.CloseKey(key);
}

}  // namespace settings
