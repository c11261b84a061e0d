#include "reading/TerminalWindows.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <string_view>

namespace reading {
namespace {

// Lower-case WM_CLASS instance or class names. An entry ending in '-' also matches the names
// that begin with it (st-256color, rxvt-unicode, ...).
constexpr std::array<std::string_view, 34> kTerminals = {
    "xterm",
    "uxterm",
    "urxvt",
    "rxvt",
    "rxvt-",
    "gnome-terminal",
    "gnome-terminal-",
    "org.gnome.console",
    "kgx",
    "org.gnome.ptyxis",
    "konsole",
    "xfce4-terminal",
    "mate-terminal",
    "lxterminal",
    "qterminal",
    "terminator",
    "tilix",
    "com.gexperts.tilix",
    "alacritty",
    "kitty",
    "st",
    "st-",
    "org.wezfurlong.wezterm",
    "wezterm",
    "foot",
    "eterm",
    "aterm",
    "sakura",
    "guake",
    "tilda",
    "terminology",
    "cool-retro-term",
    "yakuake",
    "deepin-terminal",
};

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool Matches(std::string_view name) {
    if (name.empty()) return false;
    const std::string lower = Lower(name);
    return std::any_of(kTerminals.begin(), kTerminals.end(), [&](std::string_view entry) {
        return entry.ends_with('-') ? lower.starts_with(entry) : lower == entry;
    });
}

}  // namespace

bool IsTerminalWindow(const platform::WindowClass& windowClass) {
    return Matches(windowClass.instance) || Matches(windowClass.name);
}

}  // namespace reading
