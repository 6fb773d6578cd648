// Soak: the whole program under the headless runner for many frames of seeded
// random input (bound keys most of all, odd key codes, auto-repeats, pen
// strokes anywhere, focus changes, clock stalls), through every screen. Some
// games are helped along through the game's own outcome code (rocks broken,
// extra ships awarded) so that high levels and boss fights are reached. The
// exit screen is visited but never allowed to end the process.
//
//     corvus_soak [frames] [seed]
//
// Prints the frames run, the screens visited and the highest level; exits 1
// when a screen was never reached or the world broke an invariant.
#include <cstdio>
#include <cstdlib>

#include <QWidget>

#include "platform/host.h"
#include "support/runner.h"
#include "ui/ui.h"

namespace {

constexpr int STATE_COUNT = 11;
// Names of the screens, all of which a run must visit ("": no such state).
const char* const NAMES[STATE_COUNT] = {
    "playing",       "ship-lost",  "game-over",     "",       "title", "paused", "menu",
    "level-cleared", "next-level", "redefine-keys", "exiting"};
constexpr int EXTRA_SHIP_POINTS = 25000; // what one extra ship costs in points
constexpr int QT_KEY_ESCAPE = 0x01000000, QT_KEY_A = 0x41;

uint64_t rngState = 1;

uint32_t next() { // xorshift64*
    rngState ^= rngState >> 12;
    rngState ^= rngState << 25;
    rngState ^= rngState >> 27;
    return uint32_t((rngState * 2685821657736338717ULL) >> 32);
}
int below(int n) { return int(next() % uint32_t(n)); }
bool chance(int inN) { return below(inN) == 0; }
template <size_t N> int pick(const int (&keys)[N]) { return keys[below(int(N))]; }

// The Qt key code that arrives at the game as device key `key`.
int qtKey(int key) { return key >= 0x1000 && key < 0x2000 ? (0x01000000 | (key & 0xfff)) : key; }

int boundKey() {
    const KeyBindings& k = keyBindings;
    return pick({k.thrust, k.left, k.right, k.shields, k.fire, k.fire, k.fire, k.pause});
}

int oddKey() {
    return pick({-1, -0x7fffffff - 1, 0x7fffffff, 0, 0xffff, 0x01000000, 0x01ffffff,
                 int(next()), QT_KEY_ESCAPE, QT_KEY_A + below(26)});
}

// One random input event through the host window, or straight into the
// widget for key codes the host would never deliver.
void randomEvent(HeadlessRunner& r) {
    static bool penDown = false;
    // In play a pen press pauses and a focus change stops the game, so those
    // come seldom there; on the screens with items they come often.
    const bool inPlay = gameState == STATE_PLAYING || gameState == STATE_LEVEL_CLEARED;
    const int kind = inPlay && !chance(8) ? below(55) : below(100);
    if (kind < 45) {
        const int key = qtKey(boundKey());
        chance(4) ? r.keyUp(key) : r.keyDown(key, chance(6));
    } else if (kind < 55) {
        const int key = oddKey();
        chance(2) ? r.keyDown(key, chance(4)) : r.keyUp(key);
    } else if (kind < 60) {
        const KeyEvent e{int(next())}; // any int, negative ones too
        chance(2) ? theWidget->keyPressEvent(e) : theWidget->keyReleaseEvent(e);
    } else if (kind < 90) {
        const int x = below(260) - 10, y = below(340) - 10; // now and then off the screen
        if (!penDown || chance(4))
            r.penPress(x, y), penDown = true;
        else if (chance(3))
            r.penRelease(x, y), penDown = false;
        else
            r.penMove(x, y);
    } else if (kind < 97) {
        r.setFocus(false), r.setFocus(true);
    } else {
        r.setFocus(!chance(3));
    }
}

// Breaks every rock on the field, and sometimes the boss, through the
// game's own outcome handlers, as a perfect player would.
void clearField() {
    for (int i = 0; i < BIG_ROCKS; ++i)
        if (bigRocks[i]->active) bigRockHit(i, 0);
    for (int i = 0; i < MEDIUM_ROCKS; ++i)
        if (mediumRocks[i]->active) mediumRockHit(i, 0);
    for (int i = 0; i < SMALL_ROCKS; ++i)
        if (smallRocks[i]->active) smallRockHit(i, 0);
    for (int hits = 0; bossShip->active && hits < 64 && chance(2); ++hits)
        bossHit(0);
}

} // namespace

int main(int argc, char** argv) {
    const long frames = argc > 1 ? std::atol(argv[1]) : 20000;
    const unsigned long seed = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1;
    rngState = seed * 0x9E3779B97F4A7C15ULL + 1;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);

    HeadlessRunner runner(buildDataRoot(), uint32_t(seed));
    // Frames still reach the framebuffer; only scaling it into the unseen
    // host window, the costliest step here, is left out.
    hostWindow(theWidget)->setUpdatesEnabled(false);
    long visits[STATE_COUNT] = {};
    int highestLevel = 0;
    long bossFrames = 0, games = 0;
    bool helped = false; // this game is helped along
    runner.frames(1);    // the title, before any input
    ++visits[gameState];
    GameState last = gameState;
    for (long f = 1; f < frames; ++f) {
        for (int n = below(4); n > 0 && gameState != STATE_EXITING; --n)
            randomEvent(runner);
        if (gameState == STATE_PLAYING && last == STATE_MENU) {
            ++games;
            helped = chance(2);
        }
        // From level 4 a level lasts long enough for the boss to warp in.
        if (helped && gameState == STATE_PLAYING && chance(level < 4 ? 100 : 300)) clearField();
        if (helped && gameState == STATE_PLAYING && lives < 2 && chance(40))
            awardPoints(EXTRA_SHIP_POINTS);
        if (gameState == STATE_EXITING) {
            // The exit screen runs, but never to its end: it would end the process.
            if (exitCountdown < 1) exitCountdown = 1;
            if (chance(20)) gameState = STATE_MENU, exitCountdown = 100;
        }
        // Stalls of up to 2^30 ms, so the game clock also passes its wrap. (A
        // stall beyond 2^31 ms would read as time running backwards to the
        // animation timing, which measures in signed 32 bits.)
        if (chance(5000)) runner.advanceClock(int64_t(next() >> 2));
        runner.frames(1);

        last = gameState;
        // -2 lives is the last ship lost (or the game given up).
        if (gameState < 0 || gameState >= STATE_COUNT || level < 1 || rocksLeft < 0 ||
            rocksLeft > 12 || lives < -2) {
            std::fprintf(stderr,
                         "soak: broken world at frame %ld: state %d level %d rocks %d lives %d\n",
                         f, int(gameState), int(level), int(rocksLeft), int(lives));
            return 1;
        }
        ++visits[gameState];
        if (highestLevel < level && gameState != STATE_MENU) highestLevel = level;
        bossFrames += bossShip->active && gameState == STATE_PLAYING;
    }

    std::printf("soak: seed %lu, %ld frames, %ld games, highest level %d, %ld boss frames\n", seed,
                frames, games, highestLevel, bossFrames);
    int missing = 0;
    for (int s = 0; s < STATE_COUNT; ++s) {
        if (!*NAMES[s]) continue;
        std::printf("  %-14s %ld frames\n", NAMES[s], visits[s]);
        missing += visits[s] == 0;
    }
    return missing == 0 ? 0 : 1;
}
