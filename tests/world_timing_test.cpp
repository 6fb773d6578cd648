// Frame-by-frame behaviour of the world: state timers, motion and range,
// turning, the shield cycle, power-up and boss schedules, the drawing order,
// and that a long run allocates nothing.
#include <atomic>
#include <new>

#include <algorithm>
#include <cmath>
#include <vector>

#include "support/world_fixture.h"

// Counting allocator: every operator new of the program is counted while
// `counting` is set.
namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
} // namespace

void* operator new(std::size_t size) {
    if (counting) ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using Timing = WorldTest;

// Fills each sheet so that a drawn pixel tells which sheet and sheet row it came from.
void markSheets() {
    for (int i = 0; i < 500 * 300; ++i) textSheetPixels[i] = uint16_t(0x1000 + i / 500);
    for (int i = 0; i < 200 * 850; ++i) rockSheetPixels[i] = uint16_t(0x2000 + i / 200);
    for (int i = 0; i < 774 * 459; ++i) by64SheetPixels[i] = uint16_t(0x6000 + i / 774);
}
uint16_t pixel(int x, int y) { return backBuffer[y * SCREEN_WIDTH + x]; }

TEST_F(Timing, StateTimersRunTheirExactFrameCounts) {
    // The last rock hit in update 1 moves on in update 51, and the next
    // level is set up in update 52.
    emptyField();
    rocksLeft = 1;
    place(smallRocks[0], 20.0f, 20.0f);
    place(shotSprites[0], 20.0f, 20.0f);
    int update = 0;
    step();
    ++update;
    ASSERT_EQ(gameState, STATE_LEVEL_CLEARED);
    while (gameState == STATE_LEVEL_CLEARED) {
        step();
        ++update;
    }
    EXPECT_EQ(update, 51);
    EXPECT_EQ(gameState, STATE_NEXT_LEVEL);
    step();
    EXPECT_EQ(gameState, STATE_PLAYING);
    EXPECT_EQ(level, 2);
    EXPECT_EQ(levelFrames, 1);  // set to 0 inside the update, counted after it

    // A loss in frame F is followed by the replay in frame F + 100.
    emptyField();
    dropShield();
    place(bigRocks[0], ship()->x - 20.0f, ship()->y - 10.0f);
    step();
    ASSERT_EQ(gameState, STATE_SHIP_LOST);
    EXPECT_EQ(lives, 2);
    int frames = 0;
    while (gameState == STATE_SHIP_LOST) {
        step();
        ++frames;
    }
    EXPECT_EQ(frames, 100);
    EXPECT_EQ(level, 2);
    EXPECT_TRUE(shipSprites[0]->active);
    EXPECT_EQ(rocksLeft, 12);

    // The last ship: game over after the wait, lasting 151 frames, then the menu.
    lives = 0;
    shipLost();
    step(100);
    ASSERT_EQ(gameState, STATE_SHIP_LOST);
    EXPECT_EQ(lives, -1);
    step();
    ASSERT_EQ(gameState, STATE_GAME_OVER);
    EXPECT_TRUE(messageSprite->active);
    EXPECT_EQ(messageSprite->frame, 0);
    frames = 0;
    while (gameState == STATE_GAME_OVER) {
        step();
        ++frames;
    }
    EXPECT_EQ(frames, 151);
    EXPECT_EQ(gameState, STATE_MENU);
    EXPECT_FALSE(bigRocks[1]->active);
    EXPECT_FALSE(scoreDigits[0]->active);
    EXPECT_EQ(highScore, 35000);  // not beaten: nothing committed
}

TEST_F(Timing, QuitFromPauseEndsTheGameOnTheNextUpdate) {
    gameAbandoned = true;
    lives = -2;
    shipLost();
    EXPECT_EQ(respawnDelay, 0);
    step();
    EXPECT_EQ(gameState, STATE_GAME_OVER);
}

TEST_F(Timing, HighScoreMessageStaysFiftyPlayingFrames) {
    emptyField();
    score = 34900;
    awardPoints(400);
    ASSERT_TRUE(messageSprite->active);
    step(50);
    EXPECT_TRUE(messageSprite->active);
    step();
    EXPECT_FALSE(messageSprite->active);
}

TEST_F(Timing, ShotsAndBossShotsFlyTheirRange) {
    emptyField();
    auto countMoves = [&](Sprite* s) {
        int moves = 0;
        float lastX = s->x;
        while (s->active && moves < 1000) {
            step();
            if (s->x != lastX) ++moves;
            lastX = s->x;
        }
        return moves;
    };
    place(shotSprites[0], 0.0f, 20.0f, 6.0f, 0.0f);
    shotDistance[0] = 0.0f;
    EXPECT_EQ(countMoves(shotSprites[0]), 27);

    // Long range: bouncing shots, 44 moves.
    for (Sprite* s : shotSprites) s->flags = SPRITE_BOUNCE;
    shotRange = 260.0f;
    place(shotSprites[1], 100.0f, 20.0f, 6.0f, 0.0f);
    shotDistance[1] = 0.0f;
    int moves = 0, bounces = 0;
    float vx = 6.0f;
    while (shotSprites[1]->active) {
        step();
        ++moves;
        if (shotSprites[1]->vx != vx) ++bounces;
        vx = shotSprites[1]->vx;
    }
    EXPECT_EQ(moves, 45);  // 44 moves and the frame that ends it
    EXPECT_GE(bounces, 1);

    boss.bossShotRange = 100;
    boss.bossShotTravel = 0;
    place(bossShot, 20.0f, 100.0f, 4.0f, 0.0f);
    EXPECT_EQ(countMoves(bossShot), 26);
}

TEST_F(Timing, ShipDragsAndTurnsEveryThirdFrame) {
    emptyField();
    shipVelocityX = 2.0f;
    step(100);
    EXPECT_NEAR(shipVelocityX, 2.0 * std::pow(0.995, 100), 1e-4);

    shipVelocityX = 0.0f;
    turningLeft = true;
    turnTimer = 60;  // as a key press leaves it
    shipSprites[0]->frame = 3;
    std::vector<int> headings;
    for (int f = 0; f < 7; ++f) {
        step();
        headings.push_back(shipDirection);
    }
    EXPECT_EQ(headings, (std::vector<int>{15, 15, 15, 14, 14, 14, 13}));
    EXPECT_EQ(previousShipDirection, 14);
    EXPECT_FALSE(shipSprites[0]->active);
    EXPECT_TRUE(shipSprites[13]->active);
    EXPECT_FLOAT_EQ(shieldSprite->x, shipSprites[13]->x);

    // Turning right keeps the new image's own frame.
    turningLeft = false;
    turningRight = true;
    turnTimer = 60;
    shipSprites[14]->frame = 5;
    shipSprites[13]->frame = 1;
    nowMs += 1000;  // far from any animation step
    moveShip();
    EXPECT_EQ(shipDirection, 14);
    EXPECT_EQ(shipSprites[14]->frame, 5);
}

TEST_F(Timing, ShieldDrainsRechargesWarnsAndFlashes) {
    auto cycle = [](int& drains, int& recharges) {
        shieldsUp = true;
        shieldSprite->active = true;
        shieldEnergy = SHIELD_FULL;
        drains = recharges = 0;
        while (shieldsUp) {
            float before = shieldEnergy;
            updateShieldBar();
            if (shieldEnergy < before) ++drains;
        }
        EXPECT_FALSE(shieldSprite->active);
        while (shieldEnergy != SHIELD_FULL) {
            updateShieldBar();
            ++recharges;
        }
    };
    int drains, recharges;
    cycle(drains, recharges);
    EXPECT_EQ(drains, 183);
    EXPECT_EQ(recharges, 67);
    level = 8;
    cycle(drains, recharges);
    EXPECT_EQ(drains, 111);
    EXPECT_EQ(recharges, 228);
    level = 1;

    // First step from full: 276.48, a red bar on rows 32..307 of columns 228..230.
    std::memset(backBuffer, 0, SCREEN_BYTES);
    shieldsUp = true;
    shieldEnergy = SHIELD_FULL;
    shieldFullFlash = 0;
    updateShieldBar();
    EXPECT_FLOAT_EQ(shieldEnergy, 276.48f);
    EXPECT_EQ(pixel(228, 32), 0xF800);
    EXPECT_EQ(pixel(230, 307), 0xF800);
    EXPECT_EQ(pixel(229, 31), 0);
    EXPECT_EQ(pixel(229, 308), 0);
    EXPECT_EQ(pixel(227, 100), 0);
    EXPECT_EQ(pixel(231, 100), 0);

    // The warning sounds once per discharge.
    lowShieldWarned = false;
    shieldEnergy = 50.6f;
    forgetEffects();
    updateShieldBar();
    EXPECT_TRUE(played(EFFECT_SHIELD_LOW));
    updateShieldBar();
    EXPECT_FALSE(played(EFFECT_SHIELD_LOW));

    // An overshooting recharge clamps, re-arms the warning and flashes yellow
    // for 7 frames.
    shieldsUp = false;
    shieldEnergy = 276.0f;
    std::vector<uint16_t> colours;
    for (int f = 0; f < 9; ++f) {
        updateShieldBar();
        colours.push_back(pixel(229, 200));
    }
    EXPECT_FALSE(lowShieldWarned);
    EXPECT_EQ(shieldEnergy, SHIELD_FULL);
    EXPECT_EQ(std::count(colours.begin(), colours.end(), uint16_t(0xFFE0)), 7);
    EXPECT_EQ(colours[7], 0xF800);
    EXPECT_EQ(colours[8], 0xF800);
}

TEST_F(Timing, CarrierScheduleAndPowerUpLifetime) {
    // No carrier while three or fewer rocks remain.
    emptyField();
    protect();
    rocksLeft = 3;
    step(2000);
    EXPECT_FALSE(bonusCarrier->active);
    EXPECT_EQ(powerUpIndex, -1);

    setupLevel();
    emptyField();
    protect();
    rocksLeft = 12;  // keep carriers coming although no rock is on the screen
    const int32_t firstDelay = powerUpTable[0].appearDelay;
    while (!bonusCarrier->active) step();
    EXPECT_EQ(levelFrames, firstDelay + 2);  // launched in the update that sees levelFrames > delay
    EXPECT_EQ(powerUpIndex, 0);
    EXPECT_FLOAT_EQ(bonusCarrier->y, float(powerUpTable[0].carrierY));

    // Escape: the next carrier is due the entry's delay after the frame it left.
    while (bonusCarrier->active) step();
    EXPECT_FALSE(carrierFlying);
    EXPECT_EQ(nextCarrierFrame, levelFrames - 1 + firstDelay);

    // Shot down: the power-up lasts until levelFrames passes grant + 600.
    while (!bonusCarrier->active) step();
    EXPECT_EQ(powerUpIndex, 1);
    step(100);  // well inside the screen
    powerUpTable[1].kind = 4;
    powerUpTable[1].iconFrame = 6;
    place(shotSprites[0], bonusCarrier->x + 10.0f, bonusCarrier->y + 10.0f);
    shotDistance[0] = 0.0f;
    step();
    ASSERT_TRUE(powerUpRunning);
    const int32_t granted = levelFrames - 1;
    EXPECT_EQ(shotSlots, 5);
    shotRange = 260.0f;  // the end of this kind restores the range as well
    while (powerUpRunning) step();
    EXPECT_EQ(levelFrames - 1, granted + 601);
    EXPECT_EQ(shotSlots, 1);
    EXPECT_FLOAT_EQ(shotRange, 160.0f);
    EXPECT_FALSE(powerUpIcon->active);
}

TEST_F(Timing, BossWarpsInAtFrameSixAndFiresOnlyWhenAlive) {
    level = 6;
    setupLevel();
    emptyField();
    protect();
    rocksLeft = 2;  // no carrier in the way
    const int32_t appear = boss.bossAppearTime;
    while (!bossWarp->active) step();
    EXPECT_EQ(levelFrames - 1, appear + 1);
    EXPECT_FALSE(bossShip->active);
    // The boss arrives in the first update that finds the warp showing frame 6,
    // at the warp's position.
    int frames = 0;
    int frameBefore = -1;
    while (!bossShip->active && frames < 100) {
        EXPECT_NE(frameBefore, 6);
        frameBefore = bossWarp->frame;
        step();
        ++frames;
    }
    EXPECT_EQ(frameBefore, 6);
    EXPECT_GT(frames, 25);  // six animation steps, one every sixth frame
    EXPECT_NEAR(bossShip->x, bossWarp->x + bossShip->vx, 1e-4);
    EXPECT_TRUE(boss.bossAlive);
    // The warp plays out and ends itself; the boss stays.
    while (bossWarp->active) step();
    EXPECT_TRUE(bossShip->active);
    EXPECT_GE(bossShip->x, float(boss.bossBoxLeft) - 2.0f);

    // The first shot comes once levelFrames passes appear + interval.
    while (!bossShot->active) step();
    EXPECT_EQ(levelFrames - 1, appear + boss.bossShotInterval + 1);
    EXPECT_EQ(boss.bossShotIndex, 1);

    // Dead boss: an overdue shot waits.
    bossShot->active = false;
    boss.bossAlive = false;
    bossShip->active = false;
    boss.bossNextShotTime = levelFrames - 10;
    step(5);
    EXPECT_FALSE(bossShot->active);
    boss.bossAlive = true;
    bossShip->active = true;
    step();
    EXPECT_TRUE(bossShot->active);
}

TEST_F(Timing, LaterSpritesCoverEarlierOnes) {
    markSheets();
    emptyField();
    place(ship(), 100.0f, 100.0f);
    place(shieldSprite, 100.0f, 100.0f);
    place(driftingScenery, 90.0f, 90.0f);
    place(bigRocks[0], 60.0f, 60.0f);
    place(mediumRocks[0], 220.0f, 200.0f);  // over the energy bar
    shieldsUp = false;
    shieldEnergy = 278.0f;
    levelBannerTimer = 0;
    std::memset(backBuffer, 0, SCREEN_BYTES);
    drawWorld();
    EXPECT_EQ(pixel(110, 110), 0x6000 + 6 * 65 + 20);  // scenery over the ship
    EXPECT_EQ(pixel(229, 210), 0x2000 + 10);           // rock over the bar
    EXPECT_EQ(pixel(229, 250), 0xF800);

    driftingScenery->active = false;
    drawWorld();
    EXPECT_EQ(pixel(110, 110), 0x2000 + 4 * 33 + 10);  // ship over the shield
    ship()->active = false;
    drawWorld();
    EXPECT_EQ(pixel(110, 110), 0x2000 + 24 * 33 + 10); // shield over the big rock
    shieldSprite->active = false;
    drawWorld();
    EXPECT_EQ(pixel(110, 110), 0x6000 + 0 * 65 + 50);

    // Banner and message only while their timers run; the icon blinks 7 on, 7 off.
    emptyField();
    std::memset(backBuffer, 0, SCREEN_BYTES);
    levelLabel->active = true;
    messageSprite->active = true;
    gameOverTimer = levelEndTimer = highScoreMessageTimer = 0;
    drawWorld();
    EXPECT_EQ(pixel(60, 110), 0);
    levelBannerTimer = 5;
    drawWorld();
    EXPECT_EQ(pixel(60, 110), 0x1000 + 1 * 33 + 10);
    levelEndTimer = 3;
    drawWorld();
    EXPECT_EQ(pixel(60, 110), 0x1000 + 2 * 65 + 30);  // message over the banner

    powerUpIcon->active = true;
    powerUpIconBlink = 14;
    std::vector<bool> shown;
    for (int f = 0; f < 28; ++f) {
        std::memset(backBuffer, 0, SCREEN_BYTES);
        drawWorld();
        shown.push_back(pixel(10, 300) != 0);
    }
    for (int f = 0; f < 28; ++f) EXPECT_EQ(shown[f], f % 14 < 7) << "frame " << f;
}

TEST_F(Timing, ALongBusyRunAllocatesNothing) {
    level = 10;
    setupLevel();
    counting = true;
    // Keep shooting in all directions, with shields up, over several levels
    // and lost ships.
    for (int f = 0; f < 5000; ++f) {
        const int j = f % SHOT_SLOTS;
        if (!shotSprites[j]->active && (gameState == STATE_PLAYING || gameState == STATE_LEVEL_CLEARED)) {
            place(shotSprites[j], float(random() % 220), float(random() % 300),
                  float(headingX[f % 16] * 6.0), float(headingY[f % 16] * 6.0));
            shotDistance[j] = 0.0f;
        }
        if (f % 400 == 0 && shieldEnergy == SHIELD_FULL) {
            shieldsUp = true;
            shieldSprite->active = true;
        }
        if (lives < 1) lives = 3;
        step();
    }
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_GT(level, 10);
}

} // namespace
