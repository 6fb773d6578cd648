// SDL 2's game controllers, polled: every pad plugged in is opened when it
// arrives, read on demand and closed when it leaves.
#include "input/pad.h"

#include <SDL.h>

#include "input/sdl_hints.h"

namespace {

constexpr bool sameButton(SDL_GameControllerButton sdl, PadButton ours) { return int(sdl) == int(ours); }
static_assert(sameButton(SDL_CONTROLLER_BUTTON_A, PAD_SOUTH) &&
              sameButton(SDL_CONTROLLER_BUTTON_Y, PAD_NORTH) &&
              sameButton(SDL_CONTROLLER_BUTTON_BACK, PAD_BACK) &&
              sameButton(SDL_CONTROLLER_BUTTON_START, PAD_START) &&
              sameButton(SDL_CONTROLLER_BUTTON_DPAD_UP, PAD_DPAD_UP) &&
              sameButton(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, PAD_DPAD_RIGHT),
              "PadButton numbers SDL's controller buttons");

// A joystick SDL has no mapping for is read by its first buttons, in the
// kernel's order for Xbox-style pads, and its first hat as the D-pad.
struct JoystickButton {
    int number;
    PadButton as;
};
constexpr JoystickButton JOYSTICK_BUTTONS[] = {
    {0, PAD_SOUTH}, {1, PAD_EAST}, {2, PAD_WEST}, {3, PAD_NORTH}, {6, PAD_BACK}, {7, PAD_START},
};
constexpr int STICK_X_AXIS = 0, STICK_Y_AXIS = 1;

struct Slot {
    SDL_GameController* controller = nullptr;  // null for a joystick without a mapping
    SDL_Joystick* joystick = nullptr;          // null: the slot is free
    SDL_JoystickID id = -1;
};
Slot slots[MAX_PADS];
// Devices that would not open, so that they are not tried again every tick.
SDL_JoystickID refused[MAX_PADS];  // -1: none; filled by openPads
int nextRefused = 0;
bool started = false;
int inUse = 0;

bool known(SDL_JoystickID id) {
    for (const Slot& s : slots)
        if (s.joystick && s.id == id)
            return true;
    for (SDL_JoystickID r : refused)
        if (r == id)
            return true;
    return false;
}

void release(Slot& s) {
    if (s.controller)
        SDL_GameControllerClose(s.controller);
    else if (s.joystick)
        SDL_JoystickClose(s.joystick);
    s = Slot();
}

// Opens device `index` into a free slot, as a controller when SDL has a
// mapping for it (its database, or the player's SDL_GAMECONTROLLERCONFIG).
void take(int index, SDL_JoystickID id) {
    for (Slot& s : slots) {
        if (s.joystick)
            continue;
        if (SDL_IsGameController(index)) {
            s.controller = SDL_GameControllerOpen(index);
            s.joystick = s.controller ? SDL_GameControllerGetJoystick(s.controller) : nullptr;
        } else {
            s.joystick = SDL_JoystickOpen(index);
        }
        if (s.joystick) {
            s.id = id;
        } else {
            release(s);
            refused[nextRefused] = id;
            nextRefused = (nextRefused + 1) % MAX_PADS;
        }
        return;
    }
}

int magnitude(int16_t v) { return v < 0 ? -int(v) : int(v); }

void readSlot(const Slot& s, PadState& state) {
    uint32_t buttons = 0;
    int16_t x = 0, y = 0;
    if (s.controller) {
        for (int b = 0; b < PAD_BUTTONS; ++b)
            if (SDL_GameControllerGetButton(s.controller, SDL_GameControllerButton(b)))
                buttons |= uint32_t(1) << b;
        x = SDL_GameControllerGetAxis(s.controller, SDL_CONTROLLER_AXIS_LEFTX);
        y = SDL_GameControllerGetAxis(s.controller, SDL_CONTROLLER_AXIS_LEFTY);
    } else {
        for (const JoystickButton& b : JOYSTICK_BUTTONS)
            if (SDL_JoystickGetButton(s.joystick, b.number))
                buttons |= padBit(b.as);
        if (SDL_JoystickNumAxes(s.joystick) > STICK_Y_AXIS) {
            x = SDL_JoystickGetAxis(s.joystick, STICK_X_AXIS);
            y = SDL_JoystickGetAxis(s.joystick, STICK_Y_AXIS);
        }
        const Uint8 hat = SDL_JoystickNumHats(s.joystick) > 0 ? SDL_JoystickGetHat(s.joystick, 0) : 0;
        if (hat & SDL_HAT_UP) buttons |= padBit(PAD_DPAD_UP);
        if (hat & SDL_HAT_DOWN) buttons |= padBit(PAD_DPAD_DOWN);
        if (hat & SDL_HAT_LEFT) buttons |= padBit(PAD_DPAD_LEFT);
        if (hat & SDL_HAT_RIGHT) buttons |= padBit(PAD_DPAD_RIGHT);
    }
    state.buttons |= buttons;
    if (magnitude(x) > magnitude(state.stickX)) state.stickX = x;
    if (magnitude(y) > magnitude(state.stickY)) state.stickY = y;
}

} // namespace

bool openPads() {
    if (started)
        return true;
    keepSignalsFromSdl();
    // Buttons by position on every pad (a Nintendo-style pad's A is east),
    // unless the player set SDL_GAMECONTROLLER_USE_BUTTON_LABELS.
    SDL_SetHintWithPriority(SDL_HINT_GAMECONTROLLER_USE_BUTTON_LABELS, "0", SDL_HINT_DEFAULT);
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0)
        return false;
    for (SDL_JoystickID& r : refused)
        r = -1;
    // Read by polling: no events queue up, arrivals and departures included.
    SDL_GameControllerEventState(SDL_IGNORE);
    SDL_JoystickEventState(SDL_IGNORE);
    started = true;
    return true;
}

bool readPads(PadState& state) {
    if (!started)
        return false;
    // Reads every device and notices the ones plugged in or pulled out.
    SDL_GameControllerUpdate();
    for (Slot& s : slots)
        if (s.joystick && !SDL_JoystickGetAttached(s.joystick))
            release(s);
    const int devices = SDL_NumJoysticks();
    for (int i = 0; i < devices; ++i) {
        const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
        if (id >= 0 && !known(id))
            take(i, id);
    }
    state = PadState();
    inUse = 0;
    for (const Slot& s : slots) {
        if (!s.joystick)
            continue;
        readSlot(s, state);
        ++inUse;
    }
    return true;
}

void closePads() {
    if (!started)
        return;
    for (Slot& s : slots)
        release(s);
    inUse = 0;
    started = false;
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

int padsInUse() { return inUse; }
