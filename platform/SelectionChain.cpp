#include "platform/SelectionChain.h"

#include "engine/Diagnostics.h"

namespace platform {

std::optional<std::u16string> SelectionChain::Text() {
    m_strLast.clear();
    for (const Source& source : m_sources) {
        if (!source.selection) continue;
        std::optional<std::u16string> text = source.selection->Text();
        if (text && !text->empty()) {
            m_strLast = source.name;
            diag::Say(diag::Level::Detail, "selection read through %s (%zu characters)",
                      source.name.c_str(), text->size());
            return text;
        }
    }
    diag::Say(diag::Level::Detail, "no selection source had text");
    return std::nullopt;
}

}  // namespace platform
