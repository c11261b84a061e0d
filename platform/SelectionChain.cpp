#include "platform/SelectionChain.h"

#include <chrono>

#include "engine/Diagnostics.h"

namespace platform {

std::optional<std::u16string> SelectionChain::Text() {
    m_strLast.clear();
    m_last = nullptr;
    for (const Source& source : m_sources) {
        if (!source.selection) continue;
        const auto start = std::chrono::steady_clock::now();
        std::optional<std::u16string> text = source.selection->Text();
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        if (text && !text->empty()) {
            m_strLast = source.name;
            m_last = source.selection;
            diag::Say(diag::Level::Detail, "selection read through %s (%zu characters, %.1f ms)",
                      source.name.c_str(), text->size(), ms);
            return text;
        }
        diag::Say(diag::Level::Timing, "%s had no text (%.1f ms)", source.name.c_str(), ms);
    }
    diag::Say(diag::Level::Detail, "no selection source had text");
    return std::nullopt;
}

std::optional<std::string> SelectionChain::Html() {
    return m_last ? m_last->Html() : std::nullopt;
}

}  // namespace platform
