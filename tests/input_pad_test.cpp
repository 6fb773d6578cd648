// Pads as SDL 2's virtual joysticks, plugged in and pulled out while the
// headless runner plays: the controls they drive, what pulling one out lets
// go of, two pads at once, a joystick SDL has no mapping for, and the
// player's own mapping.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "input/pad.h"
#include "support/runner.h"

namespace {

constexpr int STICK_AXIS_X = 0;
constexpr int16_t PUSHED_LEFT = -30000;
constexpr Uint32 ALL_CONTROLLER_BUTTONS = (1u << SDL_CONTROLLER_BUTTON_DPAD_RIGHT) * 2 - 1;
constexpr Uint32 ALL_CONTROLLER_AXES = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
const char* const PLAIN_JOYSTICK = "corvus test joystick";
// USB ids of a test device (pid.codes' open test pair): a mapping finds a
// device by them.
constexpr Uint16 TEST_VENDOR = 0x1209, TEST_PRODUCT = 0x0001;

// One virtual device; it is plugged in at construction and pulled out by
// unplug() (or at the end of its scope). `controller`: one SDL maps as a
// game controller (button n is controller button n, axis 0 the left stick's
// x); otherwise a plain joystick of eight buttons, two axes and a hat.
class VirtualPad {
  public:
    explicit VirtualPad(bool controller) {
        SDL_VirtualJoystickDesc d{};
        d.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        if (controller) {
            d.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
            d.nbuttons = SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1;
            d.naxes = SDL_CONTROLLER_AXIS_MAX;
            d.button_mask = ALL_CONTROLLER_BUTTONS;
            d.axis_mask = ALL_CONTROLLER_AXES;
            d.name = "corvus test controller";
        } else {
            d.type = SDL_JOYSTICK_TYPE_UNKNOWN;
            d.nbuttons = 8;
            d.naxes = 2;
            d.nhats = 1;
            d.name = PLAIN_JOYSTICK;
            d.vendor_id = TEST_VENDOR;
            d.product_id = TEST_PRODUCT;
        }
        const int index = SDL_JoystickAttachVirtualEx(&d);
        handle = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
        EXPECT_NE(handle, nullptr) << SDL_GetError();
    }
    ~VirtualPad() { unplug(); }
    VirtualPad(const VirtualPad&) = delete;
    VirtualPad& operator=(const VirtualPad&) = delete;

    void button(int n, bool down) { SDL_JoystickSetVirtualButton(handle, n, down); }
    void stickX(int16_t v) { SDL_JoystickSetVirtualAxis(handle, STICK_AXIS_X, v); }
    void hat(Uint8 v) { SDL_JoystickSetVirtualHat(handle, 0, v); }
    void unplug() {
        if (!handle) return;
        const SDL_JoystickID id = SDL_JoystickInstanceID(handle);
        SDL_JoystickClose(handle);
        handle = nullptr;
        for (int i = 0; i < SDL_NumJoysticks(); ++i)
            if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
    }

  private:
    SDL_Joystick* handle = nullptr;
};

// A runner in play on level 1, with no pad plugged in.
struct Playing {
    HeadlessRunner runner;
    Playing() {
        runner.pressKey('X');  // title to menu
        runner.pressKey('X');  // a new game
        runner.frames(1);
        EXPECT_EQ(gameState, STATE_PLAYING);
    }
};

TEST(Pads, PadPluggedInMidGamePlaysAndPullingItOutLetsGoOfItsControls) {
    Playing game;
    HeadlessRunner& runner = game.runner;
    auto pad = std::make_unique<VirtualPad>(true);
    runner.frames(1);
    EXPECT_EQ(padsInUse(), 1);

    // Stick, D-pad and buttons, each for a frame, as the controls they stand for.
    pad->stickX(PUSHED_LEFT);
    runner.frames(1);
    EXPECT_TRUE(turningLeft);
    pad->stickX(0);
    pad->button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    runner.frames(1);
    EXPECT_TRUE(turningRight && !turningLeft);
    pad->button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
    pad->button(SDL_CONTROLLER_BUTTON_A, true);  // south: thrust
    pad->button(SDL_CONTROLLER_BUTTON_X, true);  // west: fire
    runner.frames(1);
    EXPECT_TRUE(thrusting && shotSprites[0]->isActive() && !turningRight);

    // Pulled out mid-turn and mid-thrust: nothing stays held.
    pad->button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    runner.frames(1);
    ASSERT_TRUE(turningLeft && thrusting);
    pad->unplug();
    runner.frames(1);
    EXPECT_FALSE(turningLeft || thrusting);
    EXPECT_EQ(padsInUse(), 0);

    // Plugged back in, it plays as one with a second pad, a joystick without
    // a mapping: a turn held on both lasts until both let go. The joystick is
    // read by its hat and its first buttons, as Xbox-style pads number them
    // (7 Start, 6 Back).
    pad = std::make_unique<VirtualPad>(true);
    VirtualPad second(false);
    pad->stickX(PUSHED_LEFT);
    second.hat(SDL_HAT_LEFTUP);
    runner.frames(1);
    EXPECT_TRUE(padsInUse() == 2 && turningLeft && thrusting);
    pad->unplug();
    runner.frames(1);
    EXPECT_TRUE(padsInUse() == 1 && turningLeft);
    second.hat(SDL_HAT_CENTERED);
    second.button(7, true);
    runner.frames(1);
    EXPECT_FALSE(turningLeft);
    EXPECT_EQ(gameState, STATE_PAUSED);
}

// A mapping of the player's own in SDL_GAMECONTROLLERCONFIG makes a joystick
// a controller with that layout.
TEST(Pads, ThePlayersOwnMappingIsHonoured) {
    // The device's GUID, as a mapping names it.
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
    char guid[33];
    {
        VirtualPad probe(false);
        SDL_JoystickGetGUIDString(SDL_JoystickGetDeviceGUID(SDL_NumJoysticks() - 1), guid, sizeof guid);
    }
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    // Start on the joystick's button 0; its button 7 then means nothing.
    const std::string mapping = std::string(guid) + "," + PLAIN_JOYSTICK + ",start:b0,a:b1,";
    setenv("SDL_GAMECONTROLLERCONFIG", mapping.c_str(), 1);
    {
        Playing game;
        VirtualPad joystick(false);
        joystick.button(7, true);
        game.runner.frames(1);
        EXPECT_EQ(gameState, STATE_PLAYING);
        joystick.button(0, true);
        game.runner.frames(1);
        EXPECT_EQ(gameState, STATE_PAUSED);
    }
    unsetenv("SDL_GAMECONTROLLERCONFIG");
}

} // namespace
