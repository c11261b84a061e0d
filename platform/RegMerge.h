#pragma once
// Taking another program's edit of the settings file into the values in memory, with no file
// in sight: what the file now holds, and over it what this program changed since it last read
// or wrote the file.

#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "platform/RegFileFormat.h"

namespace platform {

// The values set here since the file was last read or written: key path and value name,
// folded.
using RegOwnChanges = std::set<std::pair<std::string, std::string>>;

RegKeyData* FindRegKey(RegDocument& doc, std::string_view path);
const RegKeyData* FindRegKey(const RegDocument& doc, std::string_view path);

// theirs as the outside edit left it, with mine's values named in own kept over it. A key
// theirs lacks is kept from mine with its values: the result never holds fewer keys than
// mine, as a file cut short must not cost whole sections. Values theirs removed stay removed.
RegDocument MergeOutsideEdit(const RegDocument& mine, RegDocument theirs, const RegOwnChanges& own);

// Keys and values together.
std::size_t RegEntryCount(const RegDocument& doc);

// Whether a file another program has just changed may be its write caught half way: empty,
// not understood in full, or holding fewer keys and values than the version before
// (entriesBefore), as an in-place save does between truncating and writing.
bool MayBeCutOff(const RegParseReport& report, const RegDocument& doc, std::size_t entriesBefore);

}  // namespace platform
