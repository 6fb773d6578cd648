// The pad reader on SDL's joystick layer: the first pad is opened, and each
// reading gives its buttons, its stick and its hat.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "input/pad.h"
#include "support/runner.h"

namespace {

// The kernel's joystick event record (linux/joystick.h).
struct JoystickEvent {
    uint32_t time;   // ms
    int16_t value;
    uint8_t type;    // 1 button, 2 axis
    uint8_t number;
};

// A file of joystick events stands in for the device: SDL 1.2 takes the path
// it is given in SDL_JOYSTICK_DEVICE, and the axes and hats of a device whose
// name (here its path) SDL_LINUX_JOYSTICK names: axes 2 and 3 are the hat.
TEST(PadDevice, TheFirstPadIsOpenedAndReadWithItsButtonsStickAndHat) {
    if (SDL_Linked_Version()->patch >= 50)
        GTEST_SKIP() << "the SDL 1.2 layer over SDL 2 takes no joystick from a plain file";
    PadState state;
    state.buttons = 7;
    EXPECT_FALSE(readPad(state));  // none open yet
    EXPECT_EQ(state.buttons, 7u);

    const std::string device = makeTempDir("pad") + "js0";
    const JoystickEvent events[] = {
        {0, 1, 1, 1},        // button 1 pressed
        {0, -20000, 2, 0},   // stick to the left
        {0, 9000, 2, 1},     // and a little down
        {0, -32767, 2, 3},   // hat up
    };
    std::ofstream(device, std::ios::binary)
        .write(reinterpret_cast<const char*>(events), sizeof events);
    setenv("SDL_JOYSTICK_DEVICE", device.c_str(), 1);
    setenv("SDL_LINUX_JOYSTICK", ("'" + device + "' 2 1 0").c_str(), 1);

    ASSERT_TRUE(openPad());
    EXPECT_TRUE(openPad());  // already open
    ASSERT_TRUE(readPad(state));
    EXPECT_EQ(state.buttons, 2u);
    EXPECT_EQ(state.stickX, -20000);
    EXPECT_EQ(state.stickY, 9000);
    EXPECT_EQ(state.hat, PAD_HAT_UP);
    closePad();
    EXPECT_FALSE(readPad(state));
    unsetenv("SDL_JOYSTICK_DEVICE");
    unsetenv("SDL_LINUX_JOYSTICK");
}

} // namespace
