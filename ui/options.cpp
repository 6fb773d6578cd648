// The options panel shared by the menu, the pause screen and the key
// redefinition screen (two volume sliders, the track name and the screen's
// items), and the entry into key redefinition.
#include <algorithm>

#include "audio/audio.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "ui/ui.h"

namespace {

// Track rows, top to bottom: dark, middle, light, light, middle, dark green.
constexpr int TRACK_ROWS = 6;
constexpr uint16_t TRACK_COLOURS[TRACK_ROWS] = {0x0C21, 0x14C1, 0x1662, 0x1662, 0x14C1, 0x0C21};
constexpr uint16_t KNOB_COLOUR = 0x8235;
constexpr int TRACK_LEFT_MARGIN = 6; // pixels the track starts left of the origin
constexpr int TRACK_EXTRA = 9;       // track runs length + 9 past its start (138 pixels)

// The knob is a 7-pixel-wide cap above and below the track joined by a
// one-pixel column; v is half the volume, so over 0..255 the knob moves 0..127
// pixels.
constexpr int KNOB_LEFT = -4; // cap columns relative to origin + v
constexpr int KNOB_RIGHT = 2;
constexpr int KNOB_COLUMN = -1; // column relative to origin + v
constexpr int KNOB_CAP_ROWS = 2;

constexpr int SHOWN_TRACK = 2; // the only tune the game ships

constexpr int MENU_ITEMS_SHOWN[] = {0, 1, 3, 5};  // title, new game, exit, redefine
constexpr int PAUSE_ITEMS_SHOWN[] = {0, 2, 4, 5}; // title, resume, quit, redefine
constexpr int REDEFINE_HEADING = 6;

// Entries of capturedKeys a new key can be compared with; the sixth is written
// by the last key and never compared.
constexpr int COMPARED_KEYS = 5;

void drawTrack(int originY) {
    for (int row = 0; row < TRACK_ROWS; row++)
        drawHLine(SLIDER_ORIGIN_X - TRACK_LEFT_MARGIN, originY + row, SLIDER_LENGTH + TRACK_EXTRA,
                  TRACK_COLOURS[row], backBuffer);
}

// fillRect takes its bottom row as exclusive. A volume from a hand-edited
// file may lie outside 0..255: the knob still stands at half of it, and is
// moved only where its caps would leave the screen's columns 0..239 (the
// value itself is kept).
void drawKnob(int originY, int volume) {
    constexpr int LOWEST = -(SLIDER_ORIGIN_X + KNOB_LEFT);                      // left cap at 0
    constexpr int HIGHEST = SCREEN_WIDTH - 1 - (SLIDER_ORIGIN_X + KNOB_RIGHT);  // right cap at 239
    const int half = std::clamp(volume >> 1, LOWEST, HIGHEST);
    const int kx = SLIDER_ORIGIN_X + half;
    fillRect(kx + KNOB_LEFT, originY - KNOB_CAP_ROWS, kx + KNOB_RIGHT, originY, KNOB_COLOUR,
             backBuffer);
    fillRect(kx + KNOB_LEFT, originY + TRACK_ROWS, kx + KNOB_RIGHT,
             originY + TRACK_ROWS + KNOB_CAP_ROWS, KNOB_COLOUR, backBuffer);
    fillRect(kx + KNOB_COLUMN, originY, kx + KNOB_COLUMN, originY + TRACK_ROWS, KNOB_COLOUR,
             backBuffer);
}

void drawItem(int i) {
    menuItemSprites[i]->draw(menuItemPixels, backBuffer);
}

} // namespace

void drawOptions() {
    // Both tracks first, then both knobs.
    drawTrack(SFX_SLIDER_Y);
    drawTrack(MUSIC_SLIDER_Y);
    drawKnob(SFX_SLIDER_Y, sfxVolume);
    drawKnob(MUSIC_SLIDER_Y, musicVolume);

    // Whatever track the settings held, the panel names the one that plays.
    musicTrack = SHOWN_TRACK;
    trackNameSprite->setFrame(SHOWN_TRACK);
    trackNameSprite->draw(textSheetPixels, backBuffer);

    if (gameState == STATE_MENU)
        for (int i : MENU_ITEMS_SHOWN)
            drawItem(i);
    if (gameState == STATE_PAUSED)
        for (int i : PAUSE_ITEMS_SHOWN)
            drawItem(i);
    if (gameState == STATE_REDEFINE_KEYS) {
        keyPromptSprite->draw(textSheetPixels, backBuffer);
        drawItem(REDEFINE_HEADING);
        if (keyInUseSprite->isActive()) keyInUseSprite->draw(textSheetPixels, backBuffer);
    }
}

void startKeyRedefinition() {
    // resumeState now names the screen to come back to; the pause screen's
    // own state to resume is kept aside until then.
    if (gameState == STATE_PAUSED)
        pauseResumeState = resumeState;
    resumeState = gameState;
    gameState = STATE_REDEFINE_KEYS;
    keyPromptSprite->setFrame(0); // the first key asked for is turn left
    keyPromptSprite->setActive(true);
    for (int i = 0; i < COMPARED_KEYS; i++)
        capturedKeys[i] = -1;
}
