#include "platform/wayland/WaylandPrimarySelection.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <wayland-client.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/Diagnostics.h"
#include "platform/Utf8.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

struct Offer {
    zwlr_data_control_offer_v1* offer;
    std::vector<std::string> types;
};

// One read's connection and the objects bound on it, released in reverse order.
struct Session {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    zwlr_data_control_manager_v1* manager = nullptr;
    zwlr_data_control_device_v1* device = nullptr;
    std::vector<std::unique_ptr<Offer>> offers;
    Offer* primary = nullptr;
    bool primaryKnown = false;

    ~Session() {
        for (const auto& o : offers) zwlr_data_control_offer_v1_destroy(o->offer);
        if (device) zwlr_data_control_device_v1_destroy(device);
        if (manager) zwlr_data_control_manager_v1_destroy(manager);
        if (seat) wl_seat_destroy(seat);
        if (registry) wl_registry_destroy(registry);
        if (display) wl_display_disconnect(display);
    }
};

void OnOfferType(void* data, zwlr_data_control_offer_v1*, const char* type) {
    static_cast<Offer*>(data)->types.emplace_back(type);
}
const zwlr_data_control_offer_v1_listener kOfferListener = {OnOfferType};

void OnDataOffer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* id) {
    auto* s = static_cast<Session*>(data);
    s->offers.push_back(std::make_unique<Offer>(Offer{id, {}}));
    zwlr_data_control_offer_v1_add_listener(id, &kOfferListener, s->offers.back().get());
}
void OnSelection(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1*) {}
void OnFinished(void*, zwlr_data_control_device_v1*) {}
void OnPrimarySelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* id) {
    auto* s = static_cast<Session*>(data);
    s->primary = nullptr;
    for (const auto& o : s->offers)
        if (o->offer == id) s->primary = o.get();
    s->primaryKnown = true;
}
const zwlr_data_control_device_v1_listener kDeviceListener = {OnDataOffer, OnSelection, OnFinished,
                                                              OnPrimarySelection};

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
    auto* s = static_cast<Session*>(data);
    if (!s->seat && std::strcmp(interface, wl_seat_interface.name) == 0) {
        s->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (!s->manager &&
               std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0 &&
               version >= 2) {
        // Version 1 has no primary selection.
        s->manager = static_cast<zwlr_data_control_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 2));
    }
}
void OnGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

void OnDone(void* data, wl_callback*, uint32_t) {
    *static_cast<bool*>(data) = true;
}
const wl_callback_listener kSyncListener = {OnDone};

// wl_display_roundtrip with a deadline: a compositor that stops answering must not hold the
// toolbar.
bool Roundtrip(wl_display* display, Clock::time_point deadline) {
    bool done = false;
    wl_callback* sync = wl_display_sync(display);
    wl_callback_add_listener(sync, &kSyncListener, &done);
    bool ok = true;
    while (!done && ok) {
        bool prepared = false;
        while (ok && !(prepared = wl_display_prepare_read(display) == 0))
            if (wl_display_dispatch_pending(display) < 0) ok = false;
        if (!ok || done) {
            if (prepared) wl_display_cancel_read(display);
            break;
        }
        wl_display_flush(display);
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{wl_display_get_fd(display), POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) {
            wl_display_cancel_read(display);
            ok = false;
            break;
        }
        if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0)
            ok = false;
    }
    wl_callback_destroy(sync);
    return ok && done;
}

enum class Read { Done, Stalled, TooLarge };

// Reads until the owner closes its end; each wait for more is bounded.
Read ReadAll(int fd, std::string* out) {
    char buffer[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, WaylandPrimarySelection::kAnswerWaitMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return Read::Stalled;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Read::Stalled;
        if (n == 0) return Read::Done;
        if (out->size() + static_cast<std::size_t>(n) > WaylandPrimarySelection::kMaxBytes)
            return Read::TooLarge;
        out->append(buffer, static_cast<std::size_t>(n));
    }
}

std::u16string Decode(const std::string& bytes, const std::string& type) {
    if (type != "STRING") return utf8::ToUtf16(bytes);
    std::u16string latin1;
    latin1.reserve(bytes.size());
    for (const char c : bytes) latin1.push_back(static_cast<unsigned char>(c));
    return latin1;
}

}  // namespace

WaylandPrimarySelection::WaylandPrimarySelection(const char* displayName)
    : m_displayName(displayName ? displayName : ""), m_bNamed(displayName != nullptr) {}

std::optional<std::u16string> WaylandPrimarySelection::Text() {
    // In order of preference; the X11 names are what XWayland clients offer.
    const std::optional<Received> text =
        Receive({"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "STRING", "TEXT"},
                "text");
    if (!text) return std::nullopt;
    return Decode(text->bytes, text->type);
}

std::optional<std::string> WaylandPrimarySelection::Html() {
    std::optional<Received> html = Receive({"text/html"}, "HTML");
    if (!html) return std::nullopt;
    return std::move(html->bytes);
}

std::optional<WaylandPrimarySelection::Received> WaylandPrimarySelection::Receive(
    std::initializer_list<const char*> types, const char* what) {
    Session s;
    s.display = wl_display_connect(m_bNamed ? m_displayName.c_str() : nullptr);
    if (!s.display) {
        diag::Say(diag::Level::Detail, "data control: no Wayland display to connect to");
        return std::nullopt;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(kAnswerWaitMs);
    s.registry = wl_display_get_registry(s.display);
    wl_registry_add_listener(s.registry, &kRegistryListener, &s);
    if (!Roundtrip(s.display, deadline)) return std::nullopt;
    if (!s.seat || !s.manager) {
        diag::Say(diag::Level::Detail,
                  "data control: the compositor offers no primary selection to read");
        return std::nullopt;
    }
    s.device = zwlr_data_control_manager_v1_get_data_device(s.manager, s.seat);
    zwlr_data_control_device_v1_add_listener(s.device, &kDeviceListener, &s);
    if (!Roundtrip(s.display, deadline) || !s.primaryKnown || !s.primary) return std::nullopt;

    const std::string* type = nullptr;
    for (const char* wanted : types) {
        for (const std::string& t : s.primary->types)
            if (t == wanted) type = &t;
        if (type) break;
    }
    if (!type) {
        diag::Say(diag::Level::Detail, "data control: the selection is offered without %s", what);
        return std::nullopt;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
    zwlr_data_control_offer_v1_receive(s.primary->offer, type->c_str(), fds[1]);
    wl_display_flush(s.display);
    close(fds[1]);
    std::string bytes;
    const Read read = ReadAll(fds[0], &bytes);
    close(fds[0]);
    if (read == Read::TooLarge) {
        diag::Say(diag::Level::Error, "the selection is larger than %zu MB and was not read",
                  kMaxBytes >> 20);
        return std::nullopt;
    }
    if (read == Read::Stalled) {
        // Said always, as the size limit is: the owner's fault, not an empty selection.
        diag::Say(diag::Level::Error,
                  "the program that owns the selection stopped answering for %d ms; nothing "
                  "was read from it",
                  kAnswerWaitMs);
        return std::nullopt;
    }
    if (bytes.empty()) return std::nullopt;
    return Received{std::move(bytes), *type};
}

}  // namespace platform
