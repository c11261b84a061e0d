#pragma once
// The text form of the settings hive: a REGEDIT4 file in UTF-8.
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\SOFTWARE\Tarnholm\Selvarine]
//   "language"=dword:00000007
//   "UserDicPath"="/opt/selvarine/VW/..."
//   "volume"=hex:64,00,00,00
//   "odd"=hex(1):41,00

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegistryHive.h"

namespace platform {

struct RegValue {
    std::string name;
    RegType type = RegType::None;
    std::vector<std::uint8_t> data;
};

struct RegKeyData {
    std::string path;  // relative to HKEY_CURRENT_USER, backslash separated
    std::vector<RegValue> values;
};

struct RegDocument {
    std::vector<RegKeyData> keys;
};

struct RegParseReport {
    bool headerOk = false;
    int badLines = 0;  // lines that could not be understood and were left out
    bool Clean() const { return headerOk && badLines == 0; }
};

// Parses as much as can be understood; what cannot is counted in the report, never guessed.
RegParseReport ParseRegText(std::string_view text, RegDocument* doc);
std::string FormatRegText(const RegDocument& doc);

// Case-insensitive comparison of key paths and value names (ASCII letters fold; other
// characters compare as they are).
bool RegNamesEqual(std::string_view a, std::string_view b);
// The form under which RegNamesEqual finds two names equal.
std::string RegFoldedName(std::string_view name);

}  // namespace platform
