// Test fixture for the game world without the window: the real buffers,
// sprites and direction tables, a hand-driven clock and a fixed random seed.
// step() does what the frame driver does for a play frame.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "app/app.h"
#include "audio/audio.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "platform/platform.h"

class World : public ::testing::Test {
public:
    static inline int64_t nowMs = 0;
    static int64_t clock() { return nowMs; }

    static void SetUpTestSuite() {
        static bool created = false;
        if (created) return;
        created = true;
        allocateBuffers();
        createSprites();
        buildDirectionTables();
    }

protected:
    void SetUp() override {
        nowMs = 5'000'000;
        setTimeSource(&World::clock);
        clockBase = 0;
        gameClock();
        srandom(4242);
        widgetWidth = SCREEN_WIDTH;
        widgetHeight = SCREEN_HEIGHT;
        for (Sprite* s : allSprites()) {
            if (!s) continue;
            s->active = false;
            s->frame = 0;
            s->lastFrameTime = 0;
        }
        highScore = 35000;
        gameOverTimer = levelEndTimer = highScoreMessageTimer = respawnDelay = 0;
        turnTimer = 0;
        shieldFullFlash = 0;
        turningLeft = turningRight = thrusting = false;
        shipVelocityX = shipVelocityY = 0.0f;
        newGame();
        setupLevel();
    }

    void TearDown() override { setTimeSource(nullptr); }

    // One play frame as the frame driver runs it.
    void step(int n = 1) {
        for (int i = 0; i < n; ++i) {
            nowMs += 20;
            std::memset(backBuffer, 0, SCREEN_BYTES);
            updateGame();
            ++levelFrames;
        }
    }

    // Clears the rock field so a test can place exactly what it needs.
    static void emptyField() {
        for (Sprite* s : bigRocks) s->active = false;
        for (Sprite* s : mediumRocks) s->active = false;
        for (Sprite* s : smallRocks) s->active = false;
    }

    static void place(Sprite* s, float x, float y, float vx = 0.0f, float vy = 0.0f) {
        s->x = x;
        s->y = y;
        s->vx = vx;
        s->vy = vy;
        s->active = true;
    }

    static Sprite* ship() { return shipSprites[shipDirection]; }

    // Keeps the ship protected for as long as the test runs: the shield stays
    // on while the energy neither drains nor recharges.
    static void invulnerable() {
        shieldsUp = false;
        shieldEnergy = SHIELD_FULL;
        shieldSprite->active = true;
    }

    static void dropShield() {
        shieldsUp = false;
        shieldSprite->active = false;
    }

    // True once effect `n` has been played since the last call (audio is closed
    // in tests, and a closed device still records the play).
    static bool played(int n) {
        bool was = effectChannels[n] != -1;
        effectChannels[n] = -1;
        return was;
    }
    static void forgetEffects() {
        for (int32_t& c : effectChannels) c = -1;
    }

    static std::vector<Sprite*> allSprites() {
        std::vector<Sprite*> all;
        auto add = [&](auto& arr) { for (Sprite* s : arr) all.push_back(s); };
        add(shipSprites); add(shotSprites); add(scoreDigits); add(highScoreDigits);
        add(levelDigits); add(bigRocks); add(bigRockExplosions); add(mediumRocks);
        add(mediumRockExplosions); add(smallRocks);
        for (Sprite* s : {bonusCarrier, powerUpIcon, bossShip, bossShot, levelLabel, messageSprite,
                          livesDigit, livesIcon, shipExplosion, bossExplosion, driftingScenery,
                          carrierExplosion, bossHitFlash, shieldSprite, bossWarp})
            all.push_back(s);
        return all;
    }
};
