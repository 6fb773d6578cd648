// The pen: a tap pauses the game, leaves the title and cuts the exit screen
// short; on the menu and pause screens it works the items and the two volume
// sliders. Positions are screen pixels; every hit area includes its edges.
#include "audio/audio.h"
#include "game/game.h"
#include "ui/ui.h"

namespace {


// An inclusive rectangle of the screen.
struct HitArea {
    int left, top, right, bottom;         // pixels, all inside the area
    bool contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

// The lower items are drawn 142 pixels wide and overlap; only the parts that
// carry the item's picture take the pen.
constexpr HitArea LOWER_LEFT_ITEM = {10, 280, 140, 320};    // new game / resume
constexpr HitArea LOWER_RIGHT_ITEM = {170, 280, 230, 320};  // exit / quit the game
constexpr HitArea REDEFINE_ITEM = {49, 230, 191, 257};

// A slider takes the pen from 10 pixels left of its origin to the screen's
// right edge, and from 2 rows above its track to 10 rows below the origin.
constexpr int SLIDER_PEN_LEFT = 10;       // pixels left of the origin
constexpr int SLIDER_PEN_ABOVE = 2;       // rows above the origin
constexpr int SLIDER_PEN_BELOW = 10;      // rows below the origin
constexpr int SLIDER_PEN_RIGHT = 240;     // last column taken

constexpr HitArea sliderArea(int originY) {
    return {SLIDER_ORIGIN_X - SLIDER_PEN_LEFT, originY - SLIDER_PEN_ABOVE, SLIDER_PEN_RIGHT,
            originY + SLIDER_PEN_BELOW};
}
constexpr HitArea SFX_SLIDER = sliderArea(SFX_SLIDER_Y);
constexpr HitArea MUSIC_SLIDER = sliderArea(MUSIC_SLIDER_Y);

// Moves of the pen are followed only in this band, which covers the upper
// part of the effect slider; the music slider and the items take presses only.
constexpr HitArea DRAG_BAND = {98, 94, 226, 135};

// The running game is given up: the ship blows up where it is, and the next
// world step finds no ship left and ends the game.
void quitRunningGame() {
    gameAbandoned = true;
    lives = -2;
    resumeEffects();
    Sprite* ship = shipSprites[shipDirection];
    ship->setActive(false);
    shieldSprite->setActive(false);
    levelDigits[0]->setActive(false);
    levelDigits[1]->setActive(false);
    levelLabel->setActive(false);
    gameState = STATE_SHIP_LOST;
    respawnDelay = 0;
    playEffect(EFFECT_SHIP_LOST);
    shipExplosion->setActive(true);
    shipExplosion->setX(ship->getX() - 16.0f);
    shipExplosion->setY(ship->getY() - 16.0f);
    shipExplosion->setVx(ship->getVx());
    shipExplosion->setVy(ship->getVy());
}

} // namespace

// Column 98 is silence and each pixel to the right adds 2; from 226 on the
// slider is full.
int sliderValue(int x) {
    if (x > SLIDER_ORIGIN_X + SLIDER_LENGTH)
        return VOLUME_MAX;
    if (x < SLIDER_ORIGIN_X)
        return 0;
    int v = 2 * (x - SLIDER_ORIGIN_X);
    return v > VOLUME_MAX ? VOLUME_MAX : v;
}

void handleMenuPen(GameState state, int x, int y) {
    if (LOWER_LEFT_ITEM.contains(x, y) && state == STATE_PAUSED) {
        resumeGame();
        return;
    }
    if (LOWER_LEFT_ITEM.contains(x, y) && state == STATE_MENU) {
        startNewGame();
        return;
    }
    if (LOWER_RIGHT_ITEM.contains(x, y) && state == STATE_MENU) {
        gameState = STATE_EXITING;
        return;
    }
    if (LOWER_RIGHT_ITEM.contains(x, y) && state == STATE_PAUSED) {
        quitRunningGame();
        return;
    }
    if (SFX_SLIDER.contains(x, y)) {
        sfxVolume = sliderValue(x);
        applyEffectVolume();
        // A sample of the shot sound, not started again while the last one
        // still plays, so a drag does not pile copies up.
        if (!effectPlaying(EFFECT_SHOT))
            playEffect(EFFECT_SHOT);
    }
    if (MUSIC_SLIDER.contains(x, y)) {
        musicVolume = sliderValue(x);
        applyMusicVolume();
    }
    if (REDEFINE_ITEM.contains(x, y))
        startKeyRedefinition();
}

void onPenPress(int x, int y) {
    switch (gameState) {
    case STATE_PLAYING:
    case STATE_LEVEL_CLEARED:
    case STATE_NEXT_LEVEL:
        pauseGame();
        break;
    case STATE_TITLE:
        gameState = STATE_MENU;
        break;
    case STATE_MENU:
    case STATE_PAUSED:
        handleMenuPen(gameState, x, y);
        break;
    case STATE_EXITING:
        exitCountdown = 1;
        break;
    default:
        break;
    }
}

void onPenMove(int x, int y) {
    if ((gameState == STATE_MENU || gameState == STATE_PAUSED) && DRAG_BAND.contains(x, y))
        handleMenuPen(gameState, x, y);
}

void onPenRelease(int, int) {}
