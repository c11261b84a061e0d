#pragma once
// ActivationHistory from the root window's _NET_ACTIVE_WINDOW, followed through its property
// notices on Qt's X11 connection (a native event filter, so on the GUI thread). Construct
// after the QGuiApplication; without an X11 display or a window manager nothing is known.

#include <memory>

#include "platform/ActivationHistory.h"

namespace platform {

class X11ActivationHistory final : public ActivationHistory {
  public:
    X11ActivationHistory();
    ~X11ActivationHistory() override;
    X11ActivationHistory(const X11ActivationHistory&) = delete;
    X11ActivationHistory& operator=(const X11ActivationHistory&) = delete;

    std::optional<WindowId> LastActiveOtherThan(WindowId w) override;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
