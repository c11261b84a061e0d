#pragma once
// The text the user has most recently selected in any application, read without changing any
// selection (on X11 the PRIMARY selection; elsewhere there may be none).

#include <optional>
#include <string>

namespace platform {

class Selection {
  public:
    virtual ~Selection() = default;
    // The selected text as UTF-16, nullopt when nothing is selected, the owner does not
    // answer within a few hundred milliseconds, or it offers no text this side can take.
    virtual std::optional<std::u16string> Text() = 0;
    // The selection's HTML (text/html) as its owner sends it, nullopt when it offers none or
    // does not answer; asked right after Text(), of the same source.
    virtual std::optional<std::string> Html() { return std::nullopt; }
};

}  // namespace platform
