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

// Creates the process's Qt application (offscreen) unless it exists; it is
// kept until the process ends.
void ensureTestApplication();

class HeadlessRunner {
public:
    // `qpeRoot`: installation directory holding lib/corvusraiders_demo.
    // `configHome`: XDG_CONFIG_HOME of the run; empty makes a fresh one.
    explicit HeadlessRunner(const std::string& qpeRoot = makeTestDataRoot(), uint32_t seed = 12345,
                            const std::string& configHome = std::string());
    ~HeadlessRunner();
    HeadlessRunner(const HeadlessRunner&) = delete;
    HeadlessRunner& operator=(const HeadlessRunner&) = delete;

    void frames(int n);                          // n timer ticks, 20 ms each
    void advanceClock(int64_t ms);               // time passes with no tick (a stall)
    void pressKey(int qtKey);                    // press and release (Qt 6 key code)
    void keyDown(int qtKey, bool autoRepeat = false);
    void keyUp(int qtKey);
    void penPress(int x, int y);                 // device pixels
    void penMove(int x, int y);
    void penRelease(int x, int y);
    void setFocus(bool focused);

    int32_t nowMs() const;                       // the controlled clock, ms since start
    std::string settingsPath() const;            // the "corvusraiders" settings file
    std::string configHome() const;              // XDG_CONFIG_HOME of this run

    uint16_t backPixel(int x, int y) const { return backBuffer[y * SCREEN_WIDTH + x]; }
    // Framebuffer pixel in column x, row y of the display's own geometry.
    uint16_t screenPixel(int x, int y) const;

private:
    std::string configHome_;
};
