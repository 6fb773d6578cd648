// Deterministic headless runner: the real program (widget, frame driver, game,
// controls) driven frame by frame with a fixed seed, a clock that advances
// exactly 20 ms per frame, and scripted key and pen events sent through the
// host window. Several runners may be created one after another in a process;
// each starts from a fresh title screen and a fresh settings folder.
#pragma once

#include <cstdint>
#include <string>

#include "app/app.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "platform/testdriver.h"

// Writes pictures of the nine exact sizes (simple, distinguishable content) into
// `<root>/lib/corvusraiders_demo/` and returns the root (ends with a slash).
// Each picture is one solid colour, testPictureColour(file); the folder holds
// no sounds, so the game runs silent on it.
std::string makeTestDataRoot();

// The RGB565 colour that fills picture file "pp<file>" (1..9) of makeTestDataRoot().
uint16_t testPictureColour(int file);

// The data root of the build tree, where the generated art lives (ends with a slash).
std::string buildDataRoot();

// A fresh empty folder under the process's temporary folder (ends with a slash).
// Removed when the process ends normally.
std::string makeTempDir(const char* what);

// The whole contents of a file ("" when it cannot be read).
std::string readTextFile(const std::string& path);

// Runs the game's executable with `env` settings (as env(1) takes them) and
// `args`, its output in `dir` ("out", "err"), sending it SIGTERM after
// `seconds`; the exit status, 124 when the timeout ended it.
int runExecutable(const std::string& env, const std::string& args, const std::string& dir,
                  int seconds = 20);

// Creates the process's Qt application (offscreen, with any options
// QT_QPA_PLATFORM gives it) unless it exists; it is kept until the process ends.
void ensureTestApplication();

class HeadlessRunner {
public:
    // `qpeRoot`: installation directory holding lib/corvusraiders_demo.
    // `configHome`: XDG_CONFIG_HOME of the run, with XDG_STATE_HOME (the
    // recorded games) in its "state" folder; empty makes fresh ones.
    explicit HeadlessRunner(const std::string& qpeRoot = makeTestDataRoot(), uint32_t seed = 12345,
                            const std::string& configHome = std::string());
    ~HeadlessRunner();
    HeadlessRunner(const HeadlessRunner&) = delete;
    HeadlessRunner& operator=(const HeadlessRunner&) = delete;

    void frames(int n);                          // n timer ticks, 20 ms each
    void advanceClock(int64_t ms);               // time passes with no tick (a stall)
    // Events through the host window: keys by Qt 6 key code, the pen in device pixels.
    void keyDown(int qtKey, bool repeat = false) { testdriver::sendKey(qtKey, true, repeat); }
    void keyUp(int qtKey) { testdriver::sendKey(qtKey, false); }
    void pressKey(int qtKey) { keyDown(qtKey), keyUp(qtKey); }
    void penPress(int x, int y) { testdriver::sendMouse(x, y, 0); }
    void penMove(int x, int y) { testdriver::sendMouse(x, y, 1); }
    void penRelease(int x, int y) { testdriver::sendMouse(x, y, 2); }
    void setFocus(bool focused) { testdriver::setActive(focused); }

    uint16_t backPixel(int x, int y) const { return backBuffer[y * SCREEN_WIDTH + x]; }
    // Framebuffer pixel in column x, row y of the display's own geometry.
    uint16_t screenPixel(int x, int y) const;
};
