#pragma once
// GlobalShortcuts bound by the desktop through org.freedesktop.portal.GlobalShortcuts, the only
// way a program running on XWayland gets keys pressed in native Wayland windows. The desktop
// owns the keys: each chord is offered as the preferred trigger and the user (or the desktop)
// may pick another.
//
// Everything is asynchronous: the chords registered before the event loop next runs are bound
// together in one session. Until the portal has bound them, any failure (no portal, no such
// interface, a refusal, no answer within its bound) hands every chord to the fallback, whose
// refusals go to report; the listener then hears the fallback.

#include <functional>
#include <memory>
#include <string>

#include "platform/GlobalShortcuts.h"

namespace platform {

// The portal's trigger text for a chord: "CTRL+ALT+SHIFT+s", "LOGO+F1", "CTRL+Page_Down".
std::string PortalTrigger(const KeyChord& chord);

class PortalGlobalShortcuts final : public GlobalShortcuts {
  public:
    static constexpr int kAnswerWaitMs = 5000;
    // Binding may show the user a dialog to confirm or change the keys.
    static constexpr int kBindWaitMs = 120000;

    struct Options {
        // A stable name per id in CamelCase ("ReadSelection"): the portal keeps the user's
        // choice under it, and shows it split into words as the description.
        std::function<std::string(int id)> name;
        std::function<std::unique_ptr<GlobalShortcuts>()> fallback;
        std::function<void(const std::string&)> report;
    };

    // Needs a QCoreApplication and a session bus (SessionBusConfigured()).
    explicit PortalGlobalShortcuts(Options options);
    ~PortalGlobalShortcuts() override;  // closes the session, releasing the keys
    PortalGlobalShortcuts(const PortalGlobalShortcuts&) = delete;
    PortalGlobalShortcuts& operator=(const PortalGlobalShortcuts&) = delete;

    // Ok while the portal is being asked (it decides the key in the end); the fallback's own
    // answer once it has taken over.
    Grab Register(int id, const KeyChord& chord) override;
    void SetListener(std::function<void(int id)> listener) override;

    // True once the portal has bound the shortcuts; false while asking or after falling back.
    bool Bound() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
