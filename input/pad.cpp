// SDL's joystick subsystem: the first pad found, read on demand.
#include "input/pad.h"

#include <SDL.h>

#include <cstdlib>

namespace {

SDL_Joystick* pad = nullptr;
PadLayout padLayout = PAD_LAYOUT_EVDEV;

// The SDL 1.2 interface over SDL 2 numbers its versions from 1.2.50; asked
// to, it shows every known pad in the controller database's one layout.
constexpr int FIRST_LAYER_PATCH = 50;
const char* const CONTROLLER_SWITCH = "SDL12COMPAT_USE_GAME_CONTROLLERS";

} // namespace

void askForControllerLayout() {
    setenv(CONTROLLER_SWITCH, "1", 0);  // a player's own choice stays
}

bool openPad() {
    if (pad)
        return true;
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0)
        return false;
    if (SDL_NumJoysticks() > 0)
        pad = SDL_JoystickOpen(0);
    if (!pad) {
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
        return false;
    }
    // Read by polling; no events queue up.
    SDL_JoystickEventState(SDL_IGNORE);
    // The layer reads its switch as a number, as here.
    const char* asked = std::getenv(CONTROLLER_SWITCH);
    const bool controllers =
        SDL_Linked_Version()->patch >= FIRST_LAYER_PATCH && asked && std::atoi(asked) != 0;
    padLayout = controllers ? PAD_LAYOUT_CONTROLLER : PAD_LAYOUT_EVDEV;
    return true;
}

bool readPad(PadState& state) {
    if (!pad)
        return false;
    SDL_JoystickUpdate();
    state = PadState();
    state.layout = padLayout;
    const int buttons = SDL_JoystickNumButtons(pad);
    for (int b = 0; b < buttons && b < 32; ++b)
        if (SDL_JoystickGetButton(pad, b))
            state.buttons |= uint32_t(1) << b;
    if (SDL_JoystickNumAxes(pad) >= 2) {
        state.stickX = SDL_JoystickGetAxis(pad, 0);
        state.stickY = SDL_JoystickGetAxis(pad, 1);
    }
    static_assert(SDL_HAT_UP == PAD_HAT_UP && SDL_HAT_RIGHT == PAD_HAT_RIGHT &&
                  SDL_HAT_DOWN == PAD_HAT_DOWN && SDL_HAT_LEFT == PAD_HAT_LEFT);
    if (SDL_JoystickNumHats(pad) >= 1)
        state.hat = SDL_JoystickGetHat(pad, 0) & (PAD_HAT_UP | PAD_HAT_RIGHT | PAD_HAT_DOWN | PAD_HAT_LEFT);
    return true;
}

void closePad() {
    if (!pad)
        return;
    SDL_JoystickClose(pad);
    pad = nullptr;
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}
