#pragma once
// How a text is read, chosen in the toolbar's menu: the pause between sentences and how a
// URL is read. Each is a DWORD under the top key, read outside the stages so that a file
// written before it existed keeps its top stage: a missing value, one of another type or
// size, or one out of range means the default, and is not written back.

#include <array>
#include <cstddef>

#include "platform/RegistryHive.h"

namespace settings {

enum class ReadingChoice { SentencePause, Links };

struct ReadingChoiceRow {
    ReadingChoice choice;
    const char* valueName;
    int fallback;  // when the value is missing or unreadable
    // The engines' option (VT_SETOPTION_x) and its value for each stored value 0, 1, 2.
    const char* optionName;
    std::array<const char*, 3> optionValues;
};

// SentencePause: 0 short, 1 normal, 2 long. Links: 0 the whole URL, 1 its domain, 2 none.
inline constexpr auto kReadingChoices = std::to_array<ReadingChoiceRow>({
    {ReadingChoice::SentencePause, "SentencePause", 1, "sentence-pause",
     {"short", "normal", "long"}},
    {ReadingChoice::Links, "LinkReading", 1, "links", {"all", "domain", "none"}},
});
static_assert(static_cast<std::size_t>(ReadingChoice::Links) + 1 == kReadingChoices.size());

constexpr const ReadingChoiceRow& RowOf(ReadingChoice choice) {
    return kReadingChoices[static_cast<std::size_t>(choice)];
}

int LoadReadingChoice(platform::RegistryHive& hive, ReadingChoice choice);
// Writes the value into the existing top key; does nothing when it is missing.
void SaveReadingChoice(platform::RegistryHive& hive, ReadingChoice choice, int value);

}  // namespace settings
