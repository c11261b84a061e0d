#pragma once
// Where everything sits in the skin picture and on the toolbar. The skin is one strip that
// holds every button face (all eleven language faces among them); the toolbar shows only the
// part it needs, taking its right end from the far right of the strip. Header-only so that
// the skin generator in tools/ draws against the very numbers the toolbar reads.

#include <array>

#include "engine/Languages.h"

struct SkinLayout {
    static constexpr int kSkinWidth = 518;
    static constexpr int kSkinHeight = 152;
    static constexpr int kBandHeight = 38;

    static constexpr int kToolbarWidth = 248;
    static constexpr int kToolbarHeight = 38;

    // Pixels of this colour in band 0 are holes in the window outline.
    static constexpr unsigned kKeyColour = 0xFFFF00FFu;  // QRgb: opaque magenta

    enum Band { kNormal = 0, kHover = 1, kPressed = 2, kGreyed = 3 };

    static constexpr int kCellCount = 18;
    static constexpr int kCellWidth = 26;
    static constexpr int kCellHeight = 28;
    static constexpr int kCellTop = 10;
    static constexpr int kCellPitch = 27;
    static constexpr int kFirstCellLeft = 30;

    static constexpr int kCloseCell = 17;
    static constexpr int kFirstLanguageCell = 6;

    // Toolbar columns from this one on come from further right in the skin, skipping the
    // language faces the toolbar does not show. Outline and background use different seams;
    // above the buttons (rows 0 to 9) both sources hold the same pixels.
    static constexpr int kRightPartOffset = 270;
    static constexpr int kOutlineSeam = 192;
    static constexpr int kPaintSeam = 165;

    // A press left of this column starts a drag; the move cursor shows one column less.
    static constexpr int kDragHandleWidth = 56;
    static constexpr int kMoveCursorWidth = 55;

    static constexpr int cellLeft(int cell) { return kFirstCellLeft + kCellPitch * cell; }
    static constexpr int bandTop(int band) { return kBandHeight * band; }

    static constexpr int outlineSourceColumn(int x) {
        return x < kOutlineSeam ? x : x + kRightPartOffset;
    }
    static constexpr int paintSourceColumn(int x) {
        return x < kPaintSeam ? x : x + kRightPartOffset;
    }

    // Language numbers 0 to 10 have a face (0 to 6 name languages this edition does not
    // offer); anything else falls back to cell 0 (a piece of the logo) rather than reading
    // past the strip.
    static constexpr int languageCell(int language) {
        if (const engine::LanguageInfo* lang = engine::FindLanguage(language)) return lang->faceCell;
        return language >= 0 && language <= 6 ? kFirstLanguageCell + language : 0;
    }

    struct Button {
        int id;
        int left, top, right, bottom;  // client pixels, right and bottom exclusive
        int cell;                      // -1: the current language's face
        const char* toolTip;           // UTF-8
    };

    static constexpr int kLanguageButtonId = 104;

    // In creation (and tab) order.
    static constexpr std::array<Button, 7> kButtons = {{
        {101, 57, 10, 83, 38, 1, "範囲指定読み上げ"},
        {1015, 84, 10, 110, 38, 2, "全文読み上げ"},
        {1042, 111, 10, 137, 38, 3, "中断／再開"},
        {102, 138, 10, 164, 38, 4, "停止"},
        {103, 165, 10, 191, 38, 5, "設定"},
        {kLanguageButtonId, 192, 10, 218, 38, -1, "言語選択"},
        {1, 219, 10, 245, 38, kCloseCell, "閉じる"},
    }};
};

static_assert([] {
    for (const engine::LanguageInfo& lang : engine::Languages())
        if (lang.faceCell != SkinLayout::kFirstLanguageCell + lang.number) return false;
    return true;
}(), "the language faces follow the other languages' faces in the strip");
