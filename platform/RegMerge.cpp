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
    for (const std::string& folded : own.keys) {
        const RegKeyData* key = FindRegKey(mine, folded);
        if (key && !FindRegKey(theirs, folded)) theirs.keys.push_back({key->path, {}});
    }
    for (const auto& [keyPath, name] : own.values) {
        const RegKeyData* ours = FindRegKey(mine, keyPath);
        if (!ours) continue;
        const RegValue* value = nullptr;
        for (const auto& v : ours->values)
            if (RegNamesEqual(v.name, name)) value = &v;
        if (!value) continue;
        RegKeyData* key = FindRegKey(theirs, keyPath);
        if (!key) {
            // The other program removed the key this program just wrote to: the newer
            // write wins, as it does for a value.
            theirs.keys.push_back({ours->path, {}});
            key = &theirs.keys.back();
        }
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

}  // namespace platform
