#pragma once
// KeyInjector with the XTest extension: the events go through the server as if typed, to
// whichever window has the keyboard focus.

#include "platform/KeyInjector.h"

struct _XDisplay;

namespace platform {

class X11KeyInjector final : public KeyInjector {
  public:
    // The display stays owned by the caller and must outlive this object.
    explicit X11KeyInjector(_XDisplay* display);
    bool SendControlChord(char letter) override;
    bool ModifiersHeld() override;

  private:
    _XDisplay* m_display;
    bool m_hasXTest = false;
};

}  // namespace platform
