#pragma once
// Selection as a Wayland compositor's PRIMARY selection, read through the data-control
// protocol (zwlr_data_control_manager_v1, version 2 and later), which needs no keyboard focus:
// the one way a program running through XWayland reads what a native Wayland window has
// selected on sway, Wayfire and KWin.
//
// Each read opens a connection of its own and binds a fresh data device, whose first
// primary-selection event names the selection as it is now: no answer of an earlier read can
// be returned. Every wait is bounded (kAnswerWaitMs without progress); a compositor without the
// protocol, an owner that stalls or dies mid-transfer, a selection offered only as an image,
// or one larger than kMaxBytes gives nullopt, never a frozen caller.

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>

#include "platform/Selection.h"

namespace platform {

class WaylandPrimarySelection final : public Selection {
  public:
    static constexpr int kAnswerWaitMs = 500;
    static constexpr std::size_t kMaxBytes = std::size_t{50} << 20;

    // displayName nullptr: $WAYLAND_DISPLAY.
    explicit WaylandPrimarySelection(const char* displayName = nullptr);

    std::optional<std::u16string> Text() override;
    // Asks the selection as it is now once more, for text/html when it is offered.
    std::optional<std::string> Html() override;

  private:
    struct Received {
        std::string bytes;
        std::string type;
    };
    // The primary selection's data in the first of `types` it is offered as; nullopt when it
    // is offered in none of them (`what` names them for the verbose line) or cannot be read.
    std::optional<Received> Receive(std::initializer_list<const char*> types, const char* what);

    std::string m_displayName;
    bool m_bNamed;
};

}  // namespace platform
