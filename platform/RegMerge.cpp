#include "platform/RegMerge.h"

namespace platform {

const RegKeyData* FindRegKey(const RegDocument& doc, std::string_view path) {
    for (const auto& k : doc.keys)
        if (RegNamesEqual(k.path, path)) return &k;
    return nullptr;
}

RegKeyData* FindRegKey(RegDocument& doc, std::string_view path) {
    return const_cast<RegKeyData*>(FindRegKey(static_cast<const RegDocument&>(doc), path));
}

RegDocument MergeOutsideEdit(const RegDocument& mine, RegDocument theirs,
                             const RegOwnChanges& own) {
    for (const RegKeyData& key : mine.keys)
        if (!FindRegKey(theirs, key.path)) theirs.keys.push_back(key);
    for (const auto& [keyPath, name] : own) {
        const RegKeyData* ours = FindRegKey(mine, keyPath);
        if (!ours) continue;
        const RegValue* value = nullptr;
        for (const auto& v : ours->values)
            if (RegNamesEqual(v.name, name)) value = &v;
        if (!value) continue;
        RegKeyData* key = FindRegKey(theirs, keyPath);  // there: every key of mine is
        bool replaced = false;
        for (auto& v : key->values) {
            if (!RegNamesEqual(v.name, name)) continue;
            v.type = value->type;
            v.data = value->data;
            replaced = true;
        }
        if (!replaced) key->values.push_back(*value);
    }
    return theirs;
}

std::size_t RegEntryCount(const RegDocument& doc) {
    std::size_t count = doc.keys.size();
    for (const RegKeyData& key : doc.keys) count += key.values.size();
    return count;
}

bool MayBeCutOff(const RegParseReport& report, const RegDocument& doc, std::size_t entriesBefore) {
    return !report.Clean() || RegEntryCount(doc) < entriesBefore;
}

}  // namespace platform
