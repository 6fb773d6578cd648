// Game controllers, read through SDL's joystick subsystem. What the controls
// mean is decided by ui/gamepad, which never sees SDL.
//
// Folder rule (CMakeLists.txt declares it, the include_direction test holds the
// sources to it): input/ holds what the game reads from outside the
// window (the pad and the clock); it uses no other folder, and it and audio/
// are the only ones that may include SDL.
//
// The application shell opens the first pad once at start-up, reads it once
// per frame tick while the game window has the focus, and closes it at
// shutdown. Without a joystick, or without a joystick subsystem, nothing is
// opened and nothing is said.
#pragma once

#include <cstdint>

// How the device numbers its buttons.
enum PadLayout : uint8_t {
    PAD_LAYOUT_EVDEV,       // the kernel's order, as Xbox-style pads give it: 0 A, 1 B, 2 X, 3 Y, 6 Back, 7 Start
    PAD_LAYOUT_CONTROLLER,  // the controller database's order: 0 A, 1 B, 2 X, 3 Y, 4 Back, 6 Start, 11..14 D-pad
};

// Bits of PadState::hat.
constexpr uint8_t PAD_HAT_UP = 1, PAD_HAT_RIGHT = 2, PAD_HAT_DOWN = 4, PAD_HAT_LEFT = 8;

// One reading of a pad.
struct PadState {
    uint32_t buttons = 0;       // bit n: device button n is held (buttons 0..31)
    int16_t stickX = 0;         // first axis pair (the left stick): -32768..32767,
    int16_t stickY = 0;         //   negative to the left and up
    uint8_t hat = 0;            // first hat, PAD_HAT_* bits
    PadLayout layout = PAD_LAYOUT_EVDEV;
};

// Where readings come from each tick: the SDL reader below, or a test's
// scripted pad. False when there is no pad to read.
using PadReader = bool (*)(PadState& state);

// Asks SDL 1.2 over SDL 2 for the controller database's one button layout
// (SDL12COMPAT_USE_GAME_CONTROLLERS=1) unless the player chose otherwise.
// It changes the environment, which is safe only while no other thread runs:
// the audio start-up calls it before SDL_Init starts SDL's threads.
void askForControllerLayout();

bool openPad();                 // the first joystick found; false when there is none
bool readPad(PadState& state);  // the opened pad now; false when none is open
void closePad();
