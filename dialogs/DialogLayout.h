#pragma once
// Dialog layouts kept as data (resources/voice_settings.layout, built into the program): the
// controls of each dialog with their kind, id, text and place in dialog units, in tab order.

#include <string>
#include <string_view>
#include <vector>

namespace dialogs {

enum class ControlKind {
    DefaultButton,
    Button,
    Group,
    Slider,
    Edit,
    ReadOnlyEdit,
    Static,
    RadioFirst,
    Radio
};

struct ControlLayout {
    ControlKind kind;
    int id;  // -1 for a control without one
    int x, y, width, height;
    std::string text;
};

struct DialogLayout {
    int resource;
    int width, height;
    std::string title;
    std::vector<ControlLayout> controls;
    const ControlLayout* Find(int id) const;
};

// The dialog font and its base units in pixels.
struct DialogFont {
    std::string families;  // comma-separated, first installed wins
    int points = 9;
    int baseX = 6, baseY = 12;
    int PixelsX(int units) const { return (units * baseX + 2) / 4; }
    int PixelsY(int units) const { return (units * baseY + 4) / 8; }
};

struct LayoutSet {
    DialogFont font;
    std::vector<DialogLayout> dialogs;
    const DialogLayout* Find(int resource) const;
};

// Parses the layout text; on a malformed line returns false and says which.
bool ParseLayouts(std::string_view text, LayoutSet* out, std::string* error);
// The voice settings layouts built into the program.
const LayoutSet& VoiceSettingsLayouts();

}  // namespace dialogs
