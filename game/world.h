// Helpers shared by the game world's source files (not part of the contract
// with the other subsystems).
#pragma once

#include <cstdint>
#include "game/game.h"
#include "gfx/gfx.h"

// A random number in 0..n-1 from the world's generator, n > 0. Every draw of
// the world goes through here so that the order of draws stays visible.
inline int32_t randomBelow(int32_t n) { return worldRandom() % n; }

// Right-most column and bottom row of the game widget, read at each use.
inline int32_t screenRight() { return widgetWidth - 1; }
inline int32_t screenBottom() { return widgetHeight - 1; }

// Ship start position: the 32 x 32 ship centred on the 240 x 320 screen.
constexpr float SHIP_START_X = 104.0f;  // pixels
constexpr float SHIP_START_Y = 144.0f;  // pixels

// Default shot settings, restored at level set-up and when power-ups end.
constexpr float SHOT_SPEED_NORMAL = 6.0f;    // pixels per frame
constexpr float SHOT_RANGE_NORMAL = 160.0f;  // pixels
constexpr int32_t SHOT_SLOTS_NORMAL = 1;

constexpr int32_t EXTRA_LIFE_STEP = 25000;  // points between extra ships, and to the first

// Power-up kinds carried by the bonus carrier.
constexpr int32_t POWER_UP_BOUNCING = 1;     // long-range shots that bounce
constexpr int32_t POWER_UP_SPREAD = 2;       // three-way volley
constexpr int32_t POWER_UP_FAST = 3;         // faster shots
constexpr int32_t POWER_UP_FIVE_SHOTS = 4;   // five shots in flight
constexpr int32_t POWER_UP_PIERCING = 5;     // shots survive hits

constexpr int32_t POWER_UP_ICON_BLINK = 14;  // frames of one blink cycle

// Applies the shot settings a power-up kind grants or restores on its end.
void grantPowerUp(int32_t kind);
void endPowerUp(int32_t kind);

// Enters STATE_LEVEL_CLEARED with its 50-frame pause.
void levelCleared();
