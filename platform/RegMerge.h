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

// Set or created here since the file was last read or written, by folded name.
struct RegOwnChanges {
    std::set<std::pair<std::string, std::string>> values;  // key path, value name
    std::set<std::string> keys;
    void Clear() {
        values.clear();
        keys.clear();
    }
};

RegKeyData* FindRegKey(RegDocument& doc, std::string_view path);
const RegKeyData* FindRegKey(const RegDocument& doc, std::string_view path);

// theirs as the outside edit left it, with mine's values and keys named in own kept over it.
RegDocument MergeOutsideEdit(const RegDocument& mine, RegDocument theirs,
                             const RegOwnChanges& own);

}  // namespace platform
