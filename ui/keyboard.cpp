// Keyboard control: the bindings table, key presses and releases by game
// state, the ship's play controls, pause and resume, and key capture on the
// redefinition screen. Every handler acts at once on the world's globals.
#include <cstring>

#include "audio/audio.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "settings/settings.h"
#include "ui/ui.h"

int32_t capturedKeys[6] = {-1, -1, -1, -1, -1, -1};
GameState pauseResumeState = STATE_PLAYING;

namespace {

constexpr int32_t TURN_TIMER_START = 60;     // frames; the first turn step comes next frame
constexpr float THRUST_IMPULSE = 1.5f;       // pixels per frame added per press
constexpr float SPEED_LIMIT = 16.0f;         // estimated pixels per frame
constexpr float SPEED_AFTER_LIMIT = 15.0f;   // estimated speed a fast ship is cut back to
constexpr float SHOT_LAUNCH_OFFSET = 12.0f;  // pixels from the ship's corner to the muzzle
constexpr int LAST_KEY = 5;                  // index of the sixth key asked for

bool isPlayState(GameState s) {
    return s == STATE_PLAYING || s == STATE_LEVEL_CLEARED || s == STATE_NEXT_LEVEL;
}

// Launches slot i along heading h.
void launchShot(int i, int h) {
    playEffect(EFFECT_SHOT);
    Sprite* shot = shotSprites[i];
    shot->setVx(float(headingX[h]) * shotSpeed);
    shot->setVy(float(headingY[h]) * shotSpeed);
    const Sprite* ship = shipSprites[shipDirection];
    shot->setX(ship->getX() + SHOT_LAUNCH_OFFSET);
    shot->setY(ship->getY() + SHOT_LAUNCH_OFFSET);
    shot->setActive(true);
    shotDistance[i] = 0.0f;
}

void fire() {
    if (!spreadShot) {
        for (int i = 0; i < shotSlots; i++) {
            if (!shotSprites[i]->isActive()) {
                launchShot(i, shipDirection);
                return;
            }
        }
        return;
    }
    // A volley goes only when every slot is free; it fans out clockwise from
    // the heading left of the ship.
    for (int i = 0; i < shotSlots; i++)
        if (shotSprites[i]->isActive())
            return;
    int h = (shipDirection + SHIP_HEADINGS - 1) % SHIP_HEADINGS;
    for (int i = 0; i < shotSlots; i++) {
        launchShot(i, h);
        h = (h + 1) % SHIP_HEADINGS;
    }
}

void thrust() {
    playEffect(EFFECT_THRUST);
    thrusting = true;
    shipVelocityX += float(headingX[shipDirection]) * THRUST_IMPULSE;
    shipVelocityY += float(headingY[shipDirection]) * THRUST_IMPULSE;
    float len = approxLength(shipVelocityX, shipVelocityY);
    if (len > SPEED_LIMIT) {
        shipVelocityX = shipVelocityX * SPEED_AFTER_LIMIT / len;
        shipVelocityY = shipVelocityY * SPEED_AFTER_LIMIT / len;
    }
}

// The ship's controls; the first binding that matches acts, except that a
// refused shields press is still compared with fire and pause.
void playControls(int key) {
    if (key == keyBindings.left) {
        turningLeft = true;
        turningRight = false;
        turnTimer = TURN_TIMER_START;
        return;
    }
    if (key == keyBindings.right) {
        turningRight = true;
        turningLeft = false;
        turnTimer = TURN_TIMER_START;
        return;
    }
    if (key == keyBindings.thrust) {
        thrust();
        return;
    }
    if (key == keyBindings.shields && shieldEnergy == SHIELD_FULL) {
        shieldsUp = true;
        shieldSprite->setActive(true);
        updateShieldBar();
        return;
    }
    if (key == keyBindings.fire) {
        fire();
        return;
    }
    if (key == keyBindings.pause)
        pauseGame();
}

// Stores key number n of the asking order into its binding.
void bindKey(int n, int32_t key) {
    switch (n) {
    case 0: keyBindings.left = key; break;
    case 1: keyBindings.right = key; break;
    case 2: keyBindings.thrust = key; break;
    case 3: keyBindings.fire = key; break;
    case 4: keyBindings.shields = key; break;
    default: keyBindings.pause = key; break;
    }
}

// One key offered on the redefinition screen. Only keys given earlier in the
// same redefinition are refused; the prompt sprite's frame is the progress.
void captureKey(int key) {
    int n = keyPromptSprite->getFrame();
    for (int i = 0; i < n; i++) {
        if (capturedKeys[i] == key) {
            keyInUseSprite->setActive(true);
            return;
        }
    }
    keyInUseSprite->setActive(false);
    capturedKeys[n] = key;
    bindKey(n, key);
    if (n == LAST_KEY) {
        // Back to the screen the redefinition was entered from. The pause
        // screen then resumes where the game was paused (a lost ship or the
        // game-over screen included), not in play without a ship.
        gameState = resumeState;
        resumeState = gameState == STATE_PAUSED ? pauseResumeState : STATE_PLAYING;
        saveSettings();
        return;
    }
    // The prompt is set rather than animated on: keys queued during one frame
    // arrive within the same millisecond, too soon for an animation step, and
    // each of them must still move the prompt to the next key.
    keyPromptSprite->setFrame(n + 1);
}

} // namespace

float approxLength(float x, float y) {
    float a = x < 0.0f ? -x : x;
    float b = y < 0.0f ? -y : y;
    float m = a < b ? a : b;
    return (a + b) - (m * 5.0f * 0.125f);
}

void pauseGame() {
    resumeState = gameState;
    gameState = STATE_PAUSED;
    std::memcpy(pauseSnapshot, backBuffer, SCREEN_BYTES);
    pauseEffects();
}

void startNewGame() {
    newGame();
    setupLevel();
    gameState = STATE_PLAYING;
}

void resumeGame() {
    gameState = resumeState;
    resumeEffects();
}

void onKeyPress(int key) {
    switch (gameState) {
    case STATE_PLAYING:
    case STATE_LEVEL_CLEARED:
    case STATE_NEXT_LEVEL:
        playControls(key);
        break;
    case STATE_SHIP_LOST:
    case STATE_GAME_OVER:
        if (key == keyBindings.pause)
            pauseGame();
        break;
    case STATE_TITLE:
        gameState = STATE_MENU;
        break;
    case STATE_PAUSED:
        if (key != keyBindings.pause)
            resumeGame();
        break;
    case STATE_MENU:
        if (key == KEY_ESCAPE) {
            gameState = STATE_EXITING;
        } else {
            startNewGame();
        }
        break;
    case STATE_REDEFINE_KEYS:
        captureKey(key);
        break;
    case STATE_EXITING:
        exitCountdown = 1;
        break;
    default:
        break;
    }
}

// Releases matter only in play; a key let go in a menu leaves its flag set.
void onKeyRelease(int key) {
    if (!isPlayState(gameState))
        return;
    if (key == keyBindings.thrust)
        thrusting = false;
    else if (key == keyBindings.left)
        turningLeft = false;
    else if (key == keyBindings.right)
        turningRight = false;
}
