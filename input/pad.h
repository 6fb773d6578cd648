// Game controllers, read through SDL 2's game controller interface. What the
// controls mean is decided by ui/gamepad, which never sees SDL.
//
// Folder rule (CMakeLists.txt declares it, the include_direction test holds the
// sources to it): input/ holds what the game reads from outside the
// window (the pads and the clock); it uses no other folder, and it and audio/
// are the only ones that may include SDL.
//
// The application shell starts the reader once at start-up, reads it once per
// frame tick while the game window has the focus, and stops it at shutdown.
// Pads may be plugged in and pulled out at any time: each reading first takes
// in the pads that arrived and lets go of those that left. Without a joystick
// subsystem nothing is read and nothing is said.
//
// Every pad plugged in plays, as one pad: a button counts as held while it is
// held on any of them, and the stick is the one pushed furthest. Up to
// MAX_PADS are read at once; another one waits until one of them leaves.
#pragma once

#include <cstdint>

constexpr int MAX_PADS = 4;

// The buttons of a reading, as bit numbers of PadState::buttons, in the one
// layout SDL's controller database gives every pad it knows (by position:
// south is A on an Xbox-style pad, cross on a PlayStation-style one).
enum PadButton : uint8_t {
    PAD_SOUTH = 0, PAD_EAST = 1, PAD_WEST = 2, PAD_NORTH = 3,
    PAD_BACK = 4, PAD_GUIDE = 5, PAD_START = 6,
    PAD_LEFT_STICK = 7, PAD_RIGHT_STICK = 8, PAD_LEFT_SHOULDER = 9, PAD_RIGHT_SHOULDER = 10,
    PAD_DPAD_UP = 11, PAD_DPAD_DOWN = 12, PAD_DPAD_LEFT = 13, PAD_DPAD_RIGHT = 14,
    PAD_BUTTONS = 15,
};
constexpr uint32_t padBit(PadButton b) { return uint32_t(1) << b; }

// One reading of the pads together.
struct PadState {
    uint32_t buttons = 0;  // bit PadButton: held on any pad
    int16_t stickX = 0;    // the left stick pushed furthest on any pad, per axis:
    int16_t stickY = 0;    //   -32768..32767, negative to the left and up
};

// Where readings come from each tick: the SDL reader below, or a test's
// scripted pad. False when there is nothing to read.
using PadReader = bool (*)(PadState& state);

bool openPads();                 // the game controller subsystem; false without one
bool readPads(PadState& state);  // every pad plugged in now; false when not opened
void closePads();                // lets go of every pad and of the subsystem
int padsInUse();                 // pads read by the last reading, 0..MAX_PADS
