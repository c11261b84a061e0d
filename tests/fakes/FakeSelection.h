#pragma once
// The desktop's current selection, set by the test; counts the reads.

#include <optional>
#include <string>

#include "platform/Selection.h"

class FakeSelection : public platform::Selection {
  public:
    std::optional<std::u16string> Text() override {
        ++reads;
        return text;
    }
    std::optional<std::u16string> text;
    int reads = 0;
};
