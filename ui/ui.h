// Controls and menus: keyboard bindings and handlers, the pen on the menu and
// pause screens, and the options panel with the key-redefinition screen.
// Handlers act at once on the world's globals; the next frame shows the result.
//
// Folder rule (CMakeLists.txt declares it, the include_direction test holds the
// sources to it): ui/ uses game/, gfx/, audio/, settings/ and input/
// only, and no Qt or SDL.
#pragma once

#include <cstdint>

#include "input/pad.h"
#include "game/game.h"
#include "settings/settings.h"  // keyBindings, key codes

// ---------------------------------------------------------------------------
// Whole run
// ---------------------------------------------------------------------------
extern int32_t capturedKeys[6];        // keys given so far in a redefinition
extern GameState pauseResumeState;     // what the pause screen resumes to, kept while a
                                       // redefinition entered from it runs

// ---------------------------------------------------------------------------
// Keyboard
// ---------------------------------------------------------------------------
void onKeyPress(int key);
void onKeyRelease(int key);
float approxLength(float x, float y);

// ---------------------------------------------------------------------------
// Pen
// ---------------------------------------------------------------------------
void onPenPress(int x, int y);
void onPenMove(int x, int y);
void onPenRelease(int x, int y);
void handleMenuPen(GameState state, int x, int y);

// ---------------------------------------------------------------------------
// Options panel and key redefinition
// ---------------------------------------------------------------------------
void drawOptions();
void startKeyRedefinition();

// ---------------------------------------------------------------------------
// Gamepad: each control presses and releases the key it stands for, through
// onKeyPress and onKeyRelease, so the keyboard's rules hold for it.
//   turn left/right  D-pad or left stick left/right   keyBindings.left/right
//   thrust           D-pad or stick up, south button  keyBindings.thrust
//   fire             west or east button              keyBindings.fire
//   shields          north button, D-pad down         keyBindings.shields
//   pause            Start                            keyBindings.pause
//   escape           Back                             KEY_ESCAPE
// Presses on the key-redefinition screen are dropped (it takes keyboard keys).
// ---------------------------------------------------------------------------
// One reading of the pads, once per frame tick; true when a control was
// pressed or released (the pad is in use). The keys go to `send`, or straight
// to the keyboard handlers when it is null.
using PadKeySink = void (*)(int key, bool press);
bool applyPadState(const PadState& state, PadKeySink send = nullptr);
// After a loss of focus: controls held now count as already held, so only a
// new press acts, as with keys held across the loss.
void forgetPadControls();

// ---------------------------------------------------------------------------
// Shared by the keyboard and the pen
// ---------------------------------------------------------------------------
void pauseGame();      // freezes the current frame and silences the effects
void resumeGame();     // back to resumeState with the effect volume restored
void startNewGame();   // a fresh game on level 1, in play

// Options panel geometry, in screen pixels; the panel drawing and the pen hit
// areas use the same numbers.
constexpr int SLIDER_ORIGIN_X = 98;        // x of volume 0
constexpr int SFX_SLIDER_Y = 129;          // top row of the effect-volume track
constexpr int MUSIC_SLIDER_Y = 144;        // top row of the music-volume track
constexpr int SLIDER_LENGTH = 128;         // pixels from volume 0 to volume 255
constexpr int VOLUME_MAX = 255;

// Volume 0..255 for a pen at column x of a slider.
int sliderValue(int x);
