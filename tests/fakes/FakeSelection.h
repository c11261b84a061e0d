#pragma once
// The desktop's current selection, set by the test, with the HTML its owner offers; counts
// the reads.

#include <optional>
#include <string>

#include "platform/Selection.h"

class FakeSelection : public platform::Selection {
  public:
    std::optional<std::u16string> Text() override {
        ++reads;
        return text;
    }
    std::optional<std::string> Html() override {
        ++htmlReads;
        return html;
    }
    std::optional<std::u16string> text;
    std::optional<std::string> html;
    int reads = 0, htmlReads = 0;
};
