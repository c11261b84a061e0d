#include "dialogs/VoiceManager.h"

#include "engine/Languages.h"
#include "settings/SettingsStore.h"

namespace dialogs {

VoiceManager::VoiceManager(platform::RegistryHive& hive, std::string voicesFolder)
    : m_hive(hive), m_strFolder(std::move(voicesFolder)) {
    Refresh();
}

void VoiceManager::Refresh() {
    m_voices = synth::listAddedVoices(m_strFolder);
}

std::vector<VoiceRow> VoiceManager::Rows(int language) const {
    std::vector<VoiceRow> rows{{"", "内蔵の声", true}};
    const engine::LanguageInfo* lang = engine::FindLanguage(language);
    if (!lang) return rows;
    // The voices that can speak it, then those that cannot speak at all (to be removed).
    for (const synth::AddedVoice& v : m_voices)
        if (v.model && synth::speaksLanguage(*v.model, lang->name))
            rows.push_back({v.name,
                            v.name + "（" + v.model->language + "、話者 " +
                                std::to_string(v.model->speakers) + "）",
                            true});
    for (const synth::AddedVoice& v : m_voices)
        if (!v.model) rows.push_back({v.name, v.name + "（使えません: " + v.why + "）", false});
    return rows;
}

std::size_t VoiceManager::ChosenRow(int language) const {
    const std::string chosen = settings::LoadAddedVoice(m_hive, language);
    const std::vector<VoiceRow> rows = Rows(language);
    for (std::size_t i = 1; i < rows.size(); ++i)
        if (rows[i].usable && rows[i].name == chosen) return i;
    return 0;
}

bool VoiceManager::Choose(int language, const std::string& name) {
    for (const VoiceRow& row : Rows(language))
        if (row.name == name && row.usable) return settings::SaveAddedVoice(m_hive, language, name);
    return false;
}

synth::UnpackResult VoiceManager::Add(const std::string& archive) {
    synth::UnpackResult result = synth::unpackVoiceArchive(archive, m_strFolder);
    Refresh();
    return result;
}

bool VoiceManager::Remove(const std::string& name, std::string* message) {
    std::string why;
    if (!synth::removeAddedVoice(m_strFolder, name, &why)) {
        *message = "声「" + name + "」を削除できません。\n(" + why + ")";
        Refresh();
        return false;
    }
    for (const engine::LanguageInfo& lang : engine::Languages())
        if (settings::LoadAddedVoice(m_hive, lang.number) == name)
            settings::SaveAddedVoice(m_hive, lang.number, "");
    Refresh();
    return true;
}

}  // namespace dialogs
