#pragma once
// The selection from several sources, asked in order on every read: the first one with text
// answers, so what an earlier read found is never handed back. A source that has nothing costs
// only its own bounded wait. Under SELVARINE_VERBOSE a line says which source answered.

#include <optional>
#include <string>
#include <vector>

#include "platform/Selection.h"

namespace platform {

class SelectionChain final : public Selection {
  public:
    struct Source {
        std::string name;      // for the verbose line: "AT-SPI", "data control", ...
        Selection* selection;  // not owned; nullptr is skipped
    };

    explicit SelectionChain(std::vector<Source> sources) : m_sources(std::move(sources)) {}

    std::optional<std::u16string> Text() override;
    // The HTML of the source whose text the last read returned.
    std::optional<std::string> Html() override;

    // The name of the source of the last read's text; empty when none had any.
    const std::string& LastSource() const { return m_strLast; }

  private:
    std::vector<Source> m_sources;
    std::string m_strLast;
    Selection* m_last = nullptr;
};

}  // namespace platform
