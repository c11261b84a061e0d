#pragma once
// The CLIPBOARD selection on Qt's X11 connection. Owner changes are watched with XFixes from a
// private input-only window; the notices reach the listener through a native event filter, so
// on the GUI thread, whenever Qt dispatches events. Text is fetched from other programs on a
// connection of its own (X11SelectionTransfer: bounded waits, INCR, a size cap) and from this
// program's own windows through QClipboard. Construct after the QGuiApplication.

#include <memory>

#include "platform/Clipboard.h"

namespace platform {

class X11Clipboard final : public Clipboard {
  public:
    X11Clipboard();
    ~X11Clipboard() override;
    X11Clipboard(const X11Clipboard&) = delete;
    X11Clipboard& operator=(const X11Clipboard&) = delete;

    // False when there is no X11 display or no XFixes: then no change is ever reported.
    bool Watching() const;

    bool Open() override;
    bool Empty() override;
    void Close() override;
    bool HasUnicodeText() override;
    std::optional<std::u16string> UnicodeText() override;
    std::optional<std::string> Html() override;
    void SetChangeListener(std::function<void()> listener) override;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
