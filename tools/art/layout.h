// Where every picture the game can show lives in the nine picture files.
//
// One table serves the picture generator (which paints each frame into its
// rectangle) and the layout test (which proves the rectangles fit their sheet
// and that no two frames' opaque pixels touch). Frame f of strip r of a sprite
// w x h sits at column f * (w + 1), row r * (h + 1) of its sheet.
#pragma once

namespace art {

enum SheetId {
    SHEET_BACKGROUND, // pp1
    SHEET_ROCK,       // pp2
    SHEET_TEXT,       // pp3
    SHEET_BANNER,     // pp4
    SHEET_BY64,       // pp5
    SHEET_TITLE,      // pp6
    SHEET_EXIT,       // pp7
    SHEET_MENU_ITEMS, // pp8
    SHEET_MENU_PANEL, // pp9
    SHEET_COUNT
};

struct SheetInfo {
    const char* file;  // file name in the data directory
    int width, height; // pixels
};

constexpr SheetInfo SHEETS[SHEET_COUNT] = {
    {"pp1", 240, 320}, {"pp2", 200, 850}, {"pp3", 500, 300}, {"pp4", 240, 60}, {"pp5", 774, 459},
    {"pp6", 240, 320}, {"pp7", 240, 180}, {"pp8", 142, 200}, {"pp9", 240, 100},
};

// A run of frames the game can show: frames firstFrame .. firstFrame+shown-1
// of strip `strip` of a w x h sprite on `sheet`.
struct StripInfo {
    const char* name;
    SheetId sheet;
    int strip;
    int width, height;   // pixels of one frame
    int firstFrame;
    int shown;           // frames the game can put on screen
};

constexpr int SHIP_FIRST_STRIP = 4;   // heading h is strip 4 + h
constexpr int SHIP_FRAMES = 6;        // 0 without flame, 1..5 the exhaust cycle
constexpr int MENU_ITEM_COUNT = 7;

enum StripId {
    STRIP_MEDIUM_ROCK,
    STRIP_SMALL_ROCK,
    STRIP_SHOT,
    STRIP_BOSS_SHOT,
    STRIP_SHIP0,     // sixteen entries follow, one per heading
    STRIP_BOSS = STRIP_SHIP0 + 16,
    STRIP_BOSS_FLASH,
    STRIP_SHIELD,
    STRIP_BIG_ROCK0, // three entries
    STRIP_EXPLOSION = STRIP_BIG_ROCK0 + 3,
    STRIP_WARP,
    STRIP_BIG_EXPLOSION,
    STRIP_SCENERY,
    STRIP_SCORE_DIGITS,
    STRIP_LIVES_DIGITS,
    STRIP_LEVEL_DIGITS,
    STRIP_LEVEL_LABEL,
    STRIP_MESSAGES,
    STRIP_KEY_PROMPTS,
    STRIP_KEY_IN_USE,
    STRIP_TRACK_NAMES,
    STRIP_CARRIER,
    STRIP_MENU_ITEM0, // seven entries
    STRIP_COUNT = STRIP_MENU_ITEM0 + MENU_ITEM_COUNT
};

constexpr StripInfo shipStrip(int heading) {
    return {"ship", SHEET_ROCK, SHIP_FIRST_STRIP + heading, 32, 32, 0, SHIP_FRAMES};
}
constexpr StripInfo menuItemStrip(int item) { return {"menu item", SHEET_MENU_ITEMS, item, 142, 24, 0, 1}; }

constexpr StripInfo STRIPS[STRIP_COUNT] = {
    {"medium rock", SHEET_ROCK, 0, 32, 32, 0, 4},
    {"small rock", SHEET_ROCK, 6, 16, 16, 0, 2},
    {"shot", SHEET_ROCK, 7, 8, 8, 0, 4},
    {"boss shot", SHEET_ROCK, 7, 10, 10, 0, 4},
    shipStrip(0), shipStrip(1), shipStrip(2), shipStrip(3), shipStrip(4), shipStrip(5),
    shipStrip(6), shipStrip(7), shipStrip(8), shipStrip(9), shipStrip(10), shipStrip(11),
    shipStrip(12), shipStrip(13), shipStrip(14), shipStrip(15),
    {"boss", SHEET_ROCK, 11, 64, 64, 0, 3},
    {"boss hit flash", SHEET_ROCK, 20, 32, 32, 0, 4},
    {"shield", SHEET_ROCK, 24, 32, 32, 0, 4},
    {"big rock 0", SHEET_BY64, 0, 128, 64, 0, 4},
    {"big rock 1", SHEET_BY64, 1, 128, 64, 0, 4},
    {"big rock 2", SHEET_BY64, 2, 128, 64, 0, 4},
    {"explosion", SHEET_BY64, 3, 64, 64, 0, 6},
    {"boss warp", SHEET_BY64, 4, 64, 64, 0, 8},
    {"big rock explosion", SHEET_BY64, 5, 128, 64, 0, 6},
    {"scenery", SHEET_BY64, 6, 90, 64, 0, 1},
    {"score digits", SHEET_TEXT, 0, 8, 16, 0, 10},
    {"lives digits", SHEET_TEXT, 1, 8, 16, 0, 10},
    {"level digits", SHEET_TEXT, 2, 32, 32, 0, 10},
    {"level label", SHEET_TEXT, 1, 96, 32, 0, 1},
    {"messages", SHEET_TEXT, 2, 164, 64, 0, 3},
    {"key prompts", SHEET_TEXT, 14, 82, 16, 0, 6},
    {"key in use", SHEET_TEXT, 3, 200, 32, 0, 1},
    {"track names", SHEET_TEXT, 6, 165, 32, 0, 3},
    {"bonus carrier", SHEET_TEXT, 8, 32, 32, 0, 10},
    menuItemStrip(0), menuItemStrip(1), menuItemStrip(2), menuItemStrip(3),
    menuItemStrip(4), menuItemStrip(5), menuItemStrip(6),
};

struct Rect {
    int x, y, w, h;
};

constexpr Rect frameRect(const StripInfo& s, int frame) {
    return {frame * (s.width + 1), s.strip * (s.height + 1), s.width, s.height};
}

// Screen positions the game draws the interface sprites at (top-left corner).
constexpr int MENU_ITEM_X[MENU_ITEM_COUNT] = {49, 10, 10, 88, 88, 49, 49};
constexpr int MENU_ITEM_Y[MENU_ITEM_COUNT] = {195, 280, 280, 280, 280, 230, 210};
constexpr int MENU_PANEL_Y = 80;        // the panel picture covers rows 80..179
constexpr int BANNER_Y = 20;            // the banner covers rows 20..79
constexpr int EXIT_PICTURE_Y = 100;
constexpr int SLIDER_LEFT = 92, SLIDER_RIGHT = 229;        // screen columns of both tracks
constexpr int SFX_SLIDER_TOP = 127, SFX_SLIDER_BOTTOM = 136;
constexpr int MUSIC_SLIDER_TOP = 142, MUSIC_SLIDER_BOTTOM = 151;
constexpr int TRACK_NAME_X = 74, TRACK_NAME_Y = 160;
constexpr int SHIELD_BAR_LEFT = 228, SHIELD_BAR_RIGHT = 230, SHIELD_BAR_TOP = 30, SHIELD_BAR_BOTTOM = 307;

} // namespace art
