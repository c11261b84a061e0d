#include "dialogs/DialogLayout.h"

#include <sstream>
#include <stdexcept>

#include "dialogs/VoiceSettingsLayoutText.h"

namespace dialogs {
namespace {

struct Kind {
    const char* word;
    ControlKind kind;
};
constexpr Kind kKinds[] = {{"default", ControlKind::DefaultButton},
                           {"button", ControlKind::Button},
                           {"group", ControlKind::Group},
                           {"slider", ControlKind::Slider},
                           {"edit", ControlKind::Edit},
                           {"readonly", ControlKind::ReadOnlyEdit},
                           {"static", ControlKind::Static},
                           {"radiofirst", ControlKind::RadioFirst},
                           {"radio", ControlKind::Radio}};

// The quoted text that ends a line.
bool QuotedTail(std::istringstream& in, std::string* text) {
    in >> std::ws;
    std::string rest;
    std::getline(in, rest);
    if (rest.size() < 2 || rest.front() != '"' || rest.back() != '"') return false;
    *text = rest.substr(1, rest.size() - 2);
    return true;
}

}  // namespace

const ControlLayout* DialogLayout::Find(int id) const {
    for (const ControlLayout& c : controls)
        if (c.id == id) return &c;
    return nullptr;
}

const DialogLayout* LayoutSet::Find(int resource) const {
    for (const DialogLayout& d : dialogs)
        if (d.resource == resource) return &d;
    return nullptr;
}

bool ParseLayouts(std::string_view text, LayoutSet* out, std::string* error) {
    *out = {};
    std::istringstream lines{std::string(text)};
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        auto fail = [&] {
            if (error) *error = "line " + std::to_string(number) + ": " + line;
            return false;
        };
        std::istringstream in(line);
        std::string word;
        if (!(in >> word) || word.front() == '#') continue;
        if (word == "font") {
            if (!(in >> out->font.points >> out->font.baseX >> out->font.baseY) ||
                !QuotedTail(in, &out->font.families))
                return fail();
        } else if (word == "dialog") {
            DialogLayout d;
            if (!(in >> d.resource >> d.width >> d.height) || !QuotedTail(in, &d.title))
                return fail();
            out->dialogs.push_back(std::move(d));
        } else {
            const Kind* kind = nullptr;
            for (const Kind& k : kKinds)
                if (word == k.word) kind = &k;
            if (!kind || out->dialogs.empty()) return fail();
            ControlLayout c{kind->kind, -1, 0, 0, 0, 0, {}};
            std::string id;
            if (!(in >> id >> c.x >> c.y >> c.width >> c.height) || !QuotedTail(in, &c.text))
                return fail();
            if (id != "-") {
                try {
                    c.id = std::stoi(id);
                } catch (const std::exception&) {
                    return fail();
                }
            }
            out->dialogs.back().controls.push_back(std::move(c));
        }
    }
    return true;
}

const LayoutSet& VoiceSettingsLayouts() {
    static const LayoutSet layouts = [] {
        LayoutSet set;
        std::string error;
        if (!ParseLayouts(kVoiceSettingsLayoutText, &set, &error))
            throw std::logic_error("resources/voice_settings.layout: " + error);
        return set;
    }();
    return layouts;
}

}  // namespace dialogs
