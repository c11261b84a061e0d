#include "app/ShortcutSettings.h"

#include <cctype>
#include <vector>

#include "platform/Utf8.h"
#include "settings/SettingsStore.h"

namespace settings {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Qt's portable names, with the spellings it also accepts.
constexpr struct {
    const char* name;
    char32_t key;
} kKeyNames[] = {
    {"Space", U' '},
    {"Esc", platform::kKeyEscape},
    {"Escape", platform::kKeyEscape},
    {"Tab", platform::kKeyTab},
    {"Backspace", platform::kKeyBackspace},
    {"Return", platform::kKeyReturn},
    {"Enter", platform::kKeyEnter},
    {"Ins", platform::kKeyInsert},
    {"Insert", platform::kKeyInsert},
    {"Del", platform::kKeyDelete},
    {"Delete", platform::kKeyDelete},
    {"Pause", platform::kKeyPause},
    {"Print", platform::kKeyPrint},
    {"Home", platform::kKeyHome},
    {"End", platform::kKeyEnd},
    {"Left", platform::kKeyLeft},
    {"Up", platform::kKeyUp},
    {"Right", platform::kKeyRight},
    {"Down", platform::kKeyDown},
    {"PgUp", platform::kKeyPageUp},
    {"PgDown", platform::kKeyPageDown},
    {"Menu", platform::kKeyMenu},
};

constexpr struct {
    const char* name;
    unsigned bit;
} kModifierNames[] = {
    {"Ctrl", platform::kModControl},
    {"Shift", platform::kModShift},
    {"Alt", platform::kModAlt},
    {"Meta", platform::kModMeta},
};

std::optional<char32_t> ParseKey(std::string_view text) {
    if (text.empty()) return std::nullopt;
    for (const auto& named : kKeyNames)
        if (EqualsNoCase(text, named.name)) return named.key;
    if ((text[0] == 'F' || text[0] == 'f') && text.size() >= 2 && text.size() <= 3) {
        int n = 0;
        for (const char c : text.substr(1)) {
            if (c < '0' || c > '9') return std::nullopt;
            n = n * 10 + (c - '0');
        }
        if (text[1] == '0' || n < 1 || n > platform::kMaxFunctionKey) return std::nullopt;
        return platform::kKeyF1 + static_cast<char32_t>(n - 1);
    }
    std::size_t length = 0;
    const char32_t cp = utf8::DecodeAt(text, 0, &length);
    if (length != text.size() || cp == utf8::kReplacement || cp < 0x21 || cp == 0x7F ||
        (cp >= 0x80 && cp < 0xA0))
        return std::nullopt;
    if (cp >= 'A' && cp <= 'Z') return cp - 'A' + 'a';
    return cp;
}

}  // namespace

std::optional<platform::KeyChord> ParseKeySequence(std::string_view text) {
    platform::KeyChord chord;
    // A modifier is a name followed by '+'; whatever is left is the key, so "Ctrl++" is
    // Control with the plus key.
    for (bool found = true; found;) {
        found = false;
        for (const auto& modifier : kModifierNames) {
            const std::string_view name = modifier.name;
            if (text.size() > name.size() + 1 && text[name.size()] == '+' &&
                EqualsNoCase(text.substr(0, name.size()), name)) {
                chord.modifiers |= modifier.bit;
                text.remove_prefix(name.size() + 1);
                found = true;
            }
        }
    }
    const std::optional<char32_t> key = ParseKey(text);
    if (!key) return std::nullopt;
    chord.key = *key;
    return chord;
}

std::array<ShortcutInForce, kShortcutCount> LoadShortcuts(
    platform::RegistryHive& hive, const std::function<void(const std::string&)>& report) {
    std::array<ShortcutInForce, kShortcutCount> result;
    platform::RegKey key = platform::kNoKey;
    const bool open = hive.OpenKey(kTopKey, platform::RegAccess::Read, &key) == platform::kRegOk;
    for (std::size_t i = 0; i < kShortcutSettings.size(); ++i) {
        const ShortcutSetting& setting = kShortcutSettings[i];
        std::optional<std::string> stored;
        std::uint32_t size = 0;
        if (open &&
            hive.QueryValue(key, setting.valueName, nullptr, nullptr, &size) == platform::kRegOk) {
            std::vector<char> data(size + 1, '\0');
            if (hive.QueryValue(key, setting.valueName, nullptr, data.data(), &size) ==
                platform::kRegOk)
                stored = std::string(data.data());  // up to the terminator, if stored
        }
        ShortcutInForce& slot = result[i];
        if (stored && stored->empty()) continue;  // turned off
        slot.text = stored.value_or(setting.defaultText);
        slot.chord = ParseKeySequence(slot.text);
        if (!slot.chord) {
            if (report)
                report(std::string("\"") + setting.valueName + "\"=\"" + slot.text +
                       "\" is not a shortcut; using " + setting.defaultText);
            slot.text = setting.defaultText;
            slot.chord = ParseKeySequence(slot.text);
        }
    }
    if (open) hive.CloseKey(key);
    return result;
}

void TakeShortcuts(platform::GlobalShortcuts& shortcuts,
                   const std::array<ShortcutInForce, kShortcutCount>& inForce,
                   const std::function<void(const std::string&)>& report) {
    using Grab = platform::GlobalShortcuts::Grab;
    for (std::size_t i = 0; i < inForce.size(); ++i) {
        if (!inForce[i].chord) continue;
        const Grab grab = shortcuts.Register(static_cast<int>(i), *inForce[i].chord);
        if (grab == Grab::Ok || !report) continue;
        report("the shortcut " + inForce[i].text + " (" + kShortcutSettings[i].valueName + ") " +
               (grab == Grab::Taken ? "is already taken by another program"
                                    : "has no key on this keyboard") +
               "; the other shortcuts still work");
    }
}

}  // namespace settings
