#include "settings/EngineOptions.h"

#include "settings/ReadingChoices.h"
#include "settings/SettingsStore.h"

namespace settings {

EngineOptions EngineOptionsFor(platform::RegistryHive& hive, int language) {
    EngineOptions options{{"voice", LoadAddedVoice(hive, language)}};
    for (const ReadingChoiceRow& row : kReadingChoices)
        options.emplace_back(row.optionName,
                             row.optionValues[static_cast<std::size_t>(LoadReadingChoice(hive, row.choice))]);
    return options;
}

}  // namespace settings
