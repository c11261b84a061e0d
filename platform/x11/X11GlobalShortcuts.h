#pragma once
// GlobalShortcuts as passive key grabs on the root window. On Qt's own connection the presses
// reach it through a native event filter; the listener is then called from the event loop.

#include <memory>

#include "platform/GlobalShortcuts.h"

struct _XDisplay;

namespace platform {

class X11GlobalShortcuts final : public GlobalShortcuts {
  public:
    // The display stays owned by the caller and must outlive this object. Presses are seen
    // only when it is the QGuiApplication's own display.
    explicit X11GlobalShortcuts(_XDisplay* display);
    ~X11GlobalShortcuts() override;  // releases every grab
    X11GlobalShortcuts(const X11GlobalShortcuts&) = delete;
    X11GlobalShortcuts& operator=(const X11GlobalShortcuts&) = delete;

    Grab Register(int id, const KeyChord& chord) override;
    void SetListener(std::function<void(int id)> listener) override;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
