// Gamepad control: each reading of the pad becomes presses and releases of the
// keys its controls stand for, handed to the keyboard handlers.
#include "ui/ui.h"

namespace {

enum PadControl { PAD_LEFT, PAD_RIGHT, PAD_THRUST, PAD_FIRE, PAD_SHIELDS, PAD_PAUSE, PAD_ESCAPE, PAD_CONTROLS };

// The stick counts as pushed past half way and as let go below 3/8, so a
// stick resting near the line does not chatter.
constexpr int STICK_PUSHED = 16384;
constexpr int STICK_LET_GO = 12288;
constexpr int NO_KEY = -1;

bool held[PAD_CONTROLS];      // the control was down at the last reading
int sentKey[PAD_CONTROLS];    // key pressed for it then (NO_KEY: none), released with it
bool resync = true;           // the next reading only sets what is held

bool button(const PadState& s, PadButton b) {
    return (s.buttons & padBit(b)) != 0;
}

// Past the push threshold, or still past the let-go threshold while held.
bool stickPushed(int value, bool wasHeld) {
    return value >= (wasHeld ? STICK_LET_GO : STICK_PUSHED);
}

void readControls(const PadState& s, bool down[PAD_CONTROLS]) {
    down[PAD_LEFT] = button(s, PAD_DPAD_LEFT) || stickPushed(-s.stickX, held[PAD_LEFT]);
    down[PAD_RIGHT] = button(s, PAD_DPAD_RIGHT) || stickPushed(s.stickX, held[PAD_RIGHT]);
    down[PAD_THRUST] = button(s, PAD_DPAD_UP) || stickPushed(-s.stickY, held[PAD_THRUST]) ||
                       button(s, PAD_SOUTH);
    down[PAD_FIRE] = button(s, PAD_WEST) || button(s, PAD_EAST);
    down[PAD_SHIELDS] = button(s, PAD_NORTH) || button(s, PAD_DPAD_DOWN);
    down[PAD_PAUSE] = button(s, PAD_START);
    down[PAD_ESCAPE] = button(s, PAD_BACK);
}

int boundKey(int control) {
    switch (control) {
    case PAD_LEFT: return keyBindings.left;
    case PAD_RIGHT: return keyBindings.right;
    case PAD_THRUST: return keyBindings.thrust;
    case PAD_FIRE: return keyBindings.fire;
    case PAD_SHIELDS: return keyBindings.shields;
    case PAD_PAUSE: return keyBindings.pause;
    default: return KEY_ESCAPE;
    }
}

} // namespace

bool applyPadState(const PadState& state, PadKeySink send) {
    bool down[PAD_CONTROLS];
    readControls(state, down);
    if (resync) {
        for (int c = 0; c < PAD_CONTROLS; ++c) {
            held[c] = down[c];
            sentKey[c] = NO_KEY;
        }
        resync = false;
        return false;
    }
    bool changed = false;
    // Releases first, so that a stick swung across from one side to the other
    // lets go of the old turn before the new one starts.
    for (int c = 0; c < PAD_CONTROLS; ++c) {
        if (held[c] && !down[c]) {
            held[c] = false;
            changed = true;
            // The key pressed then, even if the bindings changed meanwhile.
            if (sentKey[c] != NO_KEY) {
                if (send)
                    send(sentKey[c], false);
                else
                    onKeyRelease(sentKey[c]);
            }
            sentKey[c] = NO_KEY;
        }
    }
    for (int c = 0; c < PAD_CONTROLS; ++c) {
        if (!held[c] && down[c]) {
            held[c] = true;
            changed = true;
            if (gameState == STATE_REDEFINE_KEYS)
                continue;
            sentKey[c] = boundKey(c);
            if (send)
                send(sentKey[c], true);
            else
                onKeyPress(sentKey[c]);
        }
    }
    return changed;
}

void forgetPadControls() {
    resync = true;
}
