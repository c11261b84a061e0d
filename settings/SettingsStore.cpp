#include "settings/SettingsStore.h"

#include <cstring>
#include <vector>

namespace settings {
namespace {

using platform::kRegOk;
using platform::RegistryHive;
using platform::RegKey;
using platform::RegType;

// Each value name once: loading, the defaults and the savers below share them. Names match
// without regard to case, so a file holding "Language" is read and written alike.
constexpr const char* kLanguageValue = "language";
constexpr const char* kXValue = "X";
constexpr const char* kYValue = "Y";
constexpr const char* kVolumeValue = "volume";
constexpr const char* kSpeedValue = "speed";
constexpr const char* kPitchValue = "pitch";
constexpr const char* kCodepageValue = "codepage";
constexpr const char* kUserDicPathValue = "UserDicPath";
constexpr const char* kAutoLanguageValue = "AutoLanguage";

// Longest "UserDicPath" accepted, terminator included.
constexpr std::uint32_t kPathRoom = 260;

enum class Kind { Int32, Pitch, Path };

// One value of a stage: its name, its kind and default, and where it is loaded to.
struct Slot {
    const char* name;
    Kind kind;
    int defaultValue;
    int* i = nullptr;
    std::int16_t* pitch = nullptr;
    std::string* path = nullptr;
};

struct Stage {
    std::string key;
    int language;  // 0 for the top key
    std::vector<Slot> slots;
};

std::vector<Stage> Stages(const Targets& t) {
    std::vector<Stage> stages;
    stages.push_back({kTopKey,
                      0,
                      {{kLanguageValue, Kind::Int32, 7, t.language},
                       {kXValue, Kind::Int32, 200, t.x},
                       {kYValue, Kind::Int32, 200, t.y}}});
    for (const engine::LanguageInfo& lang : engine::Languages()) {
        const int n = engine::LanguageIndex(lang.number);
        VoiceSettings* v = t.voices[n];
        Stage s{LanguageKey(lang.number),
                lang.number,
                {{kVolumeValue, Kind::Int32, 100, &v->volume},
                 {kSpeedValue, Kind::Int32, 100, &v->speed},
                 {kPitchValue, Kind::Pitch, 100, nullptr, &v->pitch}}};
        if (lang.number == engine::kChinese)
            s.slots.push_back({kCodepageValue, Kind::Int32, 0, t.chiCodepage});
        s.slots.push_back({kUserDicPathValue, Kind::Path, 0, nullptr, nullptr, t.userDicPaths[n]});
        stages.push_back(std::move(s));
    }
    return stages;
}

// Reads one value into its variable. The stored type is not examined: any 4-byte value
// serves as a number.
bool ReadSlot(RegistryHive& hive, RegKey key, const Slot& slot) {
    if (slot.kind == Kind::Path) {
        char buf[kPathRoom] = {};
        std::uint32_t size = kPathRoom;
        if (hive.QueryValue(key, slot.name, nullptr, buf, &size) != kRegOk) return false;
        *slot.path = std::string(buf, strnlen(buf, size));
        return true;
    }
    std::uint8_t bytes[4];
    std::uint32_t size = sizeof bytes;
    // A value shorter than 4 bytes would leave part of the number undefined: refuse it.
    if (hive.QueryValue(key, slot.name, nullptr, bytes, &size) != kRegOk || size != 4) return false;
    std::uint32_t raw =
        bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    if (slot.kind == Kind::Pitch)
        *slot.pitch = static_cast<std::int16_t>(raw & 0xFFFF);
    else
        *slot.i = static_cast<std::int32_t>(raw);
    return true;
}

void WriteDefaults(RegistryHive& hive, const std::string& appDir, const Stage& stage) {
    RegKey key = platform::kNoKey;
    if (hive.CreateKey(stage.key, &key) != kRegOk) return;
    const std::string path = stage.language ? DefaultUserDicPath(appDir, stage.language) : "";
    for (const Slot& slot : stage.slots) {
        switch (slot.kind) {
            case Kind::Int32:
                *slot.i = slot.defaultValue;
                break;
            case Kind::Pitch:
                *slot.pitch = static_cast<std::int16_t>(slot.defaultValue);
                break;
            case Kind::Path:
                break;  // copied once written, below
        }
    }
    for (const Slot& slot : stage.slots) {
        if (slot.kind == Kind::Path)
            hive.SetValue(key, slot.name, RegType::Sz, path.c_str(),
                          static_cast<std::uint32_t>(path.size() + 1));
        else
            platform::SetDword(hive, key, slot.name, static_cast<std::uint32_t>(slot.defaultValue));
    }
    for (const Slot& slot : stage.slots)
        if (slot.kind == Kind::Path) *slot.path = path;
    hive.CloseKey(key);
}

void WriteToExistingKey(RegistryHive& hive, const char* name1, std::uint32_t v1,
                        const char* name2 = nullptr, std::uint32_t v2 = 0) {
    RegKey key = platform::kNoKey;
    if (hive.OpenKey(kTopKey, platform::RegAccess::Write, &key) != kRegOk) return;
    platform::SetDword(hive, key, name1, v1);
    if (name2) platform::SetDword(hive, key, name2, v2);
    hive.CloseKey(key);
}

}  // namespace

std::string DefaultUserDicPath(const std::string& appDir, int language) {
    const engine::LanguageInfo* lang = engine::FindLanguage(language);
    if (!lang) return {};
    return appDir + lang->voiceDir + "/" + lang->defaultDic;
}

std::string LanguageKey(int language) {
    const engine::LanguageInfo* lang = engine::FindLanguage(language);
    return lang ? std::string(kTopKey) + "\\" + lang->name : std::string();
}

void LoadSettings(RegistryHive& hive, const std::string& appDir, const Targets& targets) {
    for (const Stage& stage : Stages(targets)) {
        RegKey key = platform::kNoKey;
        bool ok = hive.OpenKey(stage.key, platform::RegAccess::Read, &key) == kRegOk;
        for (size_t i = 0; ok && i < stage.slots.size(); ++i)
            ok = ReadSlot(hive, key, stage.slots[i]);
        // The defaults are about to replace what the user stored: keep a copy of it first.
        bool stored = false;
        for (size_t i = 0; !ok && key != platform::kNoKey && i < stage.slots.size(); ++i) {
            std::uint32_t size = 0;
            stored = stored ||
                     hive.QueryValue(key, stage.slots[i].name, nullptr, nullptr, &size) == kRegOk;
        }
        if (stored) hive.PreserveStored();
        if (key != platform::kNoKey) hive.CloseKey(key);
        if (!ok) WriteDefaults(hive, appDir, stage);
    }
}

void ReadStoredSettings(RegistryHive& hive, const Targets& targets) {
    // Read into copies first, so that a stage failing half way changes none of its targets.
    int language = 0, x = 0, y = 0, codepage = 0;
    VoiceSettings voices[engine::kLanguageCount] = {};
    std::string paths[engine::kLanguageCount];
    Targets copies{&language, &x, &y, {}, &codepage, {}};
    for (std::size_t i = 0; i < engine::kLanguageCount; ++i) {
        copies.voices[i] = &voices[i];
        copies.userDicPaths[i] = &paths[i];
    }
    const std::vector<Stage> read = Stages(copies);
    const std::vector<Stage> into = Stages(targets);
    for (std::size_t s = 0; s < read.size(); ++s) {
        RegKey key = platform::kNoKey;
        bool ok = hive.OpenKey(read[s].key, platform::RegAccess::Read, &key) == kRegOk;
        for (const Slot& slot : read[s].slots) ok = ok && ReadSlot(hive, key, slot);
        if (key != platform::kNoKey) hive.CloseKey(key);
        for (std::size_t i = 0; ok && i < read[s].slots.size(); ++i) {
            const Slot &from = read[s].slots[i], &to = into[s].slots[i];
            switch (from.kind) {
                case Kind::Int32:
                    *to.i = *from.i;
                    break;
                case Kind::Pitch:
                    *to.pitch = *from.pitch;
                    break;
                case Kind::Path:
                    *to.path = *from.path;
                    break;
            }
        }
    }
}

void SavePosition(RegistryHive& hive, int x, int y) {
    WriteToExistingKey(hive, kXValue, static_cast<std::uint32_t>(x), kYValue,
                       static_cast<std::uint32_t>(y));
}

void SaveLanguage(RegistryHive& hive, int language) {
    WriteToExistingKey(hive, kLanguageValue, static_cast<std::uint32_t>(language));
}

void SaveVoice(RegistryHive& hive, int language, const VoiceSettings& voice,
               const std::string* userDicPath) {
    const std::string keyPath = LanguageKey(language);
    RegKey key = platform::kNoKey;
    if (keyPath.empty() || hive.OpenKey(keyPath, platform::RegAccess::Write, &key) != kRegOk)
        return;
    platform::SetDword(hive, key, kVolumeValue, static_cast<std::uint32_t>(voice.volume));
    platform::SetDword(hive, key, kSpeedValue, static_cast<std::uint32_t>(voice.speed));
    platform::SetDword(hive, key, kPitchValue, static_cast<std::uint16_t>(voice.pitch));
    if (userDicPath)
        hive.SetValue(key, kUserDicPathValue, RegType::Sz, userDicPath->c_str(),
                      static_cast<std::uint32_t>(userDicPath->size() + 1));
    hive.CloseKey(key);
}

void SaveChineseCodepage(RegistryHive& hive, int codepage) {
    RegKey key = platform::kNoKey;
    if (hive.OpenKey(LanguageKey(engine::kChinese), platform::RegAccess::Write, &key) != kRegOk)
        return;
    platform::SetDword(hive, key, kCodepageValue, static_cast<std::uint32_t>(codepage));
    hive.CloseKey(key);
}

int LoadAutoLanguage(RegistryHive& hive) {
    RegKey key = platform::kNoKey;
    if (hive.OpenKey(kTopKey, platform::RegAccess::Read, &key) != kRegOk) return 1;
    std::uint8_t bytes[4];
    std::uint32_t size = sizeof bytes;
    const bool read = hive.QueryValue(key, kAutoLanguageValue, nullptr, bytes, &size) == kRegOk &&
                      size == sizeof bytes;
    hive.CloseKey(key);
    if (!read) return 1;
    return (bytes[0] | bytes[1] | bytes[2] | bytes[3]) != 0 ? 1 : 0;
}

void SaveAutoLanguage(RegistryHive& hive, int on) {
    WriteToExistingKey(hive, kAutoLanguageValue, on ? 1u : 0u);
}

std::string LoadAddedVoice(RegistryHive& hive, int language) {
    RegKey key = platform::kNoKey;
    const std::string keyPath = LanguageKey(language);
    if (keyPath.empty() || hive.OpenKey(keyPath, platform::RegAccess::Read, &key) != kRegOk)
        return {};
    char buf[kPathRoom] = {};
    std::uint32_t size = kPathRoom;
    const bool read = hive.QueryValue(key, "Voice", nullptr, buf, &size) == kRegOk;
    hive.CloseKey(key);
    return read ? std::string(buf, strnlen(buf, size)) : std::string();
}

bool SaveAddedVoice(RegistryHive& hive, int language, const std::string& name) {
    RegKey key = platform::kNoKey;
    const std::string keyPath = LanguageKey(language);
    if (keyPath.empty() || name.size() >= kPathRoom ||
        hive.OpenKey(keyPath, platform::RegAccess::Write, &key) != kRegOk)
        return false;
    const bool written = hive.SetValue(key, "Voice", RegType::Sz, name.c_str(),
                                       static_cast<std::uint32_t>(name.size() + 1)) == kRegOk;
    hive.CloseKey(key);
    return written;
}

VoiceInForce VoiceInForceFor(int language) {
    VoiceInForce v;
    if (const VoiceSettings* voice = VoiceSettingsFor(language)) v.voice = *voice;
    v.chiCodepage = g_nChiCodepage;
    return v;
}

void KeepVoiceChoice(RegistryHive& hive, const VoiceChoice& choice) {
    VoiceSettings* voice = VoiceSettingsFor(choice.language);
    if (!voice) return;
    *voice = choice.voice;
    const bool codeChosen = choice.chiCodepage >= 0 && choice.chiCodepage < 4;
    if (codeChosen) g_nChiCodepage = choice.chiCodepage;
    SaveVoice(hive, choice.language, *voice, choice.storePath ? &choice.userDicPath : nullptr);
    if (codeChosen) SaveChineseCodepage(hive, choice.chiCodepage);
}

}  // namespace settings
