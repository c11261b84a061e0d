#pragma once
// Selection as the X11 PRIMARY selection, read on a connection of its own (X11SelectionTransfer)
// so that waiting for the owner's answer never touches Qt's event queue. The wait is bounded:
// an owner that never answers costs kAnswerWaitMs, not a frozen toolbar.

#include <memory>

#include "platform/Selection.h"

namespace platform {

class X11PrimarySelection final : public Selection {
  public:
    static constexpr int kAnswerWaitMs = 300;
    // The largest text taken this way; a larger one is left to the clipboard path.
    static constexpr long kMaxBytes = 4L << 20;

    // Opens its own connection to the named display (nullptr: $DISPLAY). Construct after the
    // QGuiApplication when there is one: a selection this program owns is read through Qt.
    explicit X11PrimarySelection(const char* displayName = nullptr);
    ~X11PrimarySelection() override;
    X11PrimarySelection(const X11PrimarySelection&) = delete;
    X11PrimarySelection& operator=(const X11PrimarySelection&) = delete;

    std::optional<std::u16string> Text() override;
    std::optional<std::string> Html() override;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
