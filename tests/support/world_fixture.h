// Fixture for tests that drive the game's globals without a window: the real
// buffers, sprites and direction tables (made once per process), a clock that
// only moves when the test moves it, a fixed random seed, a fresh settings
// folder, and a fresh game at level 1. step() runs one play frame the way the
// frame driver does.
#pragma once

#include <cstdlib>
#include <cstring>
#include <utility>

#include <gtest/gtest.h>

#include "app/app.h"
#include "audio/audio.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "platform/platform.h"
#include "support/runner.h"

class WorldTest : public ::testing::Test {
public:
    static inline int64_t nowMs = 0;  // ms; what the game's time source reads
    static int64_t clock() { return nowMs; }

    static void SetUpTestSuite() {
        static const bool created = (allocateBuffers(), createSprites(), buildDirectionTables(), true);
        (void)created;
    }

    void SetUp() override {
        nowMs = 5'000'000;
        setTimeSource(&WorldTest::clock);
        clockBase = 0;
        gameClock();  // the game's clock now reads 0
        seedWorldRandom(4242);
        setenv("XDG_CONFIG_HOME", makeTempDir("world").c_str(), 1);
        widgetWidth = SCREEN_WIDTH, widgetHeight = SCREEN_HEIGHT;
        forEachSprite([](Sprite* s) { s->active = false; s->frame = 0; s->lastFrameTime = 0; });
        forgetEffects();
        highScore = 35000;
        resetWorldState(WorldReset::RUN);
        newGame();
        setupLevel();
    }
    void TearDown() override { setTimeSource(nullptr); }

    // n play frames, 20 ms apart, each on a cleared back buffer.
    static void step(int n = 1) {
        for (int i = 0; i < n; ++i) {
            nowMs += 20;
            std::memset(backBuffer, 0, SCREEN_BYTES);
            updateGame();
            ++levelFrames;
        }
    }

    static void place(Sprite* s, float x, float y, float vx = 0.0f, float vy = 0.0f) {
        s->x = x, s->y = y, s->vx = vx, s->vy = vy;
        s->active = true;
    }
    static Sprite* ship() { return shipSprites[shipDirection]; }
    static void emptyField() {
        auto off = [](auto& rocks) { for (Sprite* s : rocks) s->active = false; };
        off(bigRocks), off(mediumRocks), off(smallRocks);
    }
    // Shield on without draining or recharging, so nothing can hit the ship.
    static void protect() { shieldsUp = false, shieldEnergy = SHIELD_FULL, shieldSprite->active = true; }
    static void dropShield() { shieldsUp = false, shieldSprite->active = false; }

    // Whether effect n was started since the last look (a closed device still
    // records the channel).
    static bool played(int n) { return std::exchange(effectChannels[n], -1) != -1; }
    static void forgetEffects() { for (int32_t& c : effectChannels) c = -1; }

    template <class F> static void forEachSprite(F f) {
        auto each = [&](auto& arr) { for (Sprite* s : arr) f(s); };
        each(shipSprites), each(shotSprites), each(scoreDigits), each(highScoreDigits);
        each(levelDigits), each(bigRocks), each(bigRockExplosions), each(mediumRocks);
        each(mediumRockExplosions), each(smallRocks);
        for (Sprite* s : {bonusCarrier, powerUpIcon, bossShip, bossShot, levelLabel, messageSprite,
                          livesDigit, livesIcon, shipExplosion, bossExplosion, driftingScenery,
                          carrierExplosion, bossHitFlash, shieldSprite, bossWarp})
            f(s);
    }
};
