#pragma once
// Selection as the selected text of the focused accessible text object (AT-SPI), the way
// screen readers read it: it works on every compositor, Wayland or X11, for GTK, Qt, Chromium
// and Firefox windows once toolkit accessibility is on, which construction asks for through the
// accessibility bus's org.a11y.Status IsEnabled, as screen readers do.
//
// Each read walks from the desktop to the active window's focused object afresh, so nothing an
// earlier read found can come back. Every call to an application is bounded: one that does not
// answer within kAnswerWaitMs is skipped, and the whole read ends after kReadWaitMs.

#include <memory>
#include <optional>
#include <string>

#include "platform/Selection.h"

namespace platform {

class AtspiSelection final : public Selection {
  public:
    static constexpr int kAnswerWaitMs = 500;
    static constexpr int kReadWaitMs = 1500;
    // A focused object deeper or later than this in its window is not looked for.
    static constexpr int kMaxVisited = 4000;

    // Needs a QCoreApplication. Without a session bus or an accessibility bus every read is
    // nullopt.
    AtspiSelection();
    ~AtspiSelection() override;
    AtspiSelection(const AtspiSelection&) = delete;
    AtspiSelection& operator=(const AtspiSelection&) = delete;

    std::optional<std::u16string> Text() override;
    // The focused text object's whole text (read all), nullopt as Text().
    std::optional<std::u16string> WholeText();

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
