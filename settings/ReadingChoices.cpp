#include "settings/ReadingChoices.h"

#include <cstdint>

#include "settings/SettingsStore.h"

namespace settings {

int LoadReadingChoice(platform::RegistryHive& hive, ReadingChoice choice) {
    const ReadingChoiceRow& row = RowOf(choice);
    platform::RegKey key = platform::kNoKey;
    if (hive.OpenKey(kTopKey, platform::RegAccess::Read, &key) != platform::kRegOk)
        return row.fallback;
    std::uint32_t value = 0;
    std::uint32_t size = sizeof value;
    platform::RegType type = platform::RegType::None;
    const bool read = hive.QueryValue(key, row.valueName, &type, &value, &size) == platform::kRegOk;
    hive.CloseKey(key);
    const bool usable = read && type == platform::RegType::Dword && size == sizeof value &&
                        value < row.optionValues.size();
    return usable ? static_cast<int>(value) : row.fallback;
}

void SaveReadingChoice(platform::RegistryHive& hive, ReadingChoice choice, int value) {
    const ReadingChoiceRow& row = RowOf(choice);
    if (value < 0 || value >= static_cast<int>(row.optionValues.size())) return;
    platform::RegKey key = platform::kNoKey;
    if (hive.OpenKey(kTopKey, platform::RegAccess::Write, &key) != platform::kRegOk) return;
    platform::SetDword(hive, key, row.valueName, static_cast<std::uint32_t>(value));
    hive.CloseKey(key);
}

}  // namespace settings
