#include "app/ShortcutBinding.h"

#include "app/ShortcutSettings.h"

ShortcutBinding::ShortcutBinding(platform::RegistryHive& hive, std::function<void(Action)> run,
                                 Report report,
                                 std::function<platform::GlobalShortcuts&()> renew)
    : m_hive(hive), m_run(std::move(run)), m_report(std::move(report)), m_renew(std::move(renew)) {}

void ShortcutBinding::Take(platform::GlobalShortcuts& shortcuts) {
    const auto inForce = settings::LoadShortcuts(m_hive, m_report);
    m_texts.clear();
    for (const settings::ShortcutInForce& s : inForce) m_texts.push_back(s.text);
    shortcuts.SetListener([this](int slot) {
        if (slot < 0 || slot >= settings::kShortcutCount) return;
        ++m_nRunning;
        m_run(settings::kShortcutSettings[static_cast<std::size_t>(slot)].action);
        --m_nRunning;
    });
    settings::TakeShortcuts(shortcuts, inForce, m_report);
}

void ShortcutBinding::TakeAgainIfEdited() {
    if (!m_bToCheck || m_nRunning > 0) return;
    m_bToCheck = false;
    if (!m_renew) return;
    std::vector<std::string> texts;
    for (const settings::ShortcutInForce& s : settings::LoadShortcuts(m_hive, {}))
        texts.push_back(s.text);
    if (texts != m_texts) Take(m_renew());
}
