// Frame-by-frame behaviour of the world: shot ranges, turning, the shield
// cycle, the carrier and boss schedules, the drawing order, and that a long
// run allocates nothing.
#include <atomic>
#include <new>

#include "game/world.h"
#include "support/world_fixture.h"
#include "ui/ui.h"

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

uint16_t pixel(int x, int y) { return backBuffer[y * SCREEN_WIDTH + x]; }

// Frames in which `s` moved before it was spent.
int movesUntilSpent(Sprite* s) {
    int moves = 0;
    for (float x = s->x; s->active && moves < 1000; x = s->x) {
        WorldTest::step();
        moves += s->x != x;
    }
    return moves;
}

TEST_F(Timing, ShotsAndBossShotsFlyTheirRange) {
    emptyField();
    place(shotSprites[0], 0.0f, 20.0f, 6.0f, 0.0f);
    EXPECT_EQ(movesUntilSpent(shotSprites[0]), 27);

    // The long range counts the same way across a bounce off the right edge.
    shotRange = 260.0f;
    shotSprites[1]->flags = SPRITE_BOUNCE;
    place(shotSprites[1], 100.0f, 20.0f, 6.0f, 0.0f);
    EXPECT_EQ(movesUntilSpent(shotSprites[1]), 44);
    EXPECT_LT(shotSprites[1]->vx, 0.0f);

    boss.bossShotRange = 100;
    boss.bossShotTravel = 0;
    place(bossShot, 20.0f, 100.0f, 4.0f, 0.0f);
    EXPECT_EQ(movesUntilSpent(bossShot), 26);
}

TEST_F(Timing, HeldTurnKeyTurnsEveryThirdFrame) {
    emptyField();
    turningLeft = true;
    turnTimer = 60;  // as a key press leaves it
    for (int heading : {15, 15, 15, 14, 14, 14, 13}) {
        step();
        EXPECT_EQ(shipDirection, heading) << "frame " << levelFrames;
    }
    EXPECT_TRUE(!shipSprites[0]->active && shipSprites[13]->active);
}

TEST_F(Timing, ShieldDrainsRechargesWarnsAndFlashes) {
    const struct { int level, drains, recharges; } rows[] = {{1, 183, 67}, {8, 111, 228}};
    for (const auto& row : rows) {
        level = row.level;
        shieldsUp = shieldSprite->active = true;
        shieldEnergy = SHIELD_FULL;
        int drains = -1, recharges = 0;  // the update that drops the shield drains nothing
        for (; shieldsUp; ++drains) updateShieldBar();
        EXPECT_FALSE(shieldSprite->active);
        for (; shieldEnergy != SHIELD_FULL; ++recharges) updateShieldBar();
        EXPECT_EQ(drains, row.drains) << "level " << row.level;
        EXPECT_EQ(recharges, row.recharges) << "level " << row.level;
    }

    // The warning sounds once per discharge.
    level = 1;
    shieldsUp = true;
    lowShieldWarned = false;
    shieldEnergy = 50.6f;
    updateShieldBar();
    EXPECT_TRUE(played(EFFECT_SHIELD_LOW));
    updateShieldBar();
    EXPECT_FALSE(played(EFFECT_SHIELD_LOW));

    // An overshooting recharge clamps, re-arms the warning and shows the full
    // bar yellow for 7 frames.
    shieldsUp = false;
    shieldEnergy = 276.0f;
    for (int f = 0; f < 9; ++f) {
        updateShieldBar();
        EXPECT_EQ(pixel(229, 200), f < 7 ? 0xFFE0 : 0xF800) << "frame " << f;
    }
    EXPECT_FALSE(lowShieldWarned);
    EXPECT_EQ(shieldEnergy, SHIELD_FULL);
}

TEST_F(Timing, NextCarrierIsDueAfterAnEscapeOrAfterThePowerUpItGave) {
    emptyField();
    protect();
    rocksLeft = 12;  // keep carriers coming although no rock is on the screen
    const int32_t firstDelay = powerUpTable[0].appearDelay;
    while (!bonusCarrier->active) step();
    EXPECT_EQ(levelFrames, firstDelay + 2);  // the update that sees levelFrames pass the delay
    while (bonusCarrier->active) step();
    EXPECT_EQ(nextCarrierFrame, levelFrames - 1 + firstDelay);  // counted from the escape

    // Shot down: the next is due the following entry's delay after the power-up
    // ends, 600 frames on. Five shots ends by putting the range back as well.
    while (!bonusCarrier->active) step();
    ASSERT_EQ(powerUpIndex, 1);
    powerUpTable[1].kind = POWER_UP_FIVE_SHOTS;
    step(100);  // well onto the screen
    place(shotSprites[0], bonusCarrier->x + 10.0f, bonusCarrier->y + 10.0f);
    step();
    ASSERT_TRUE(powerUpRunning);
    EXPECT_EQ(score * 10 + shotSlots, 5005);
    EXPECT_EQ(nextCarrierFrame, levelFrames - 1 + 600 + powerUpTable[2].appearDelay);
    shotRange = 260.0f;
    step(600);
    EXPECT_TRUE(powerUpRunning && powerUpIcon->active);
    step();
    EXPECT_FALSE(powerUpRunning || powerUpIcon->active);
    EXPECT_TRUE(shotSlots == 1 && shotRange == 160.0f);
}

// Moves the game clock to `msToWrap` ms before it turns negative, with every
// animation last stepped now.
void nearlyWrapped(int64_t msToWrap) {
    clockBase = WorldTest::nowMs - ((int64_t(1) << 31) - msToWrap);
    WorldTest::forEachSprite([](Sprite* s) { s->lastFrameTime = gameClock(); });
    keyPromptSprite->lastFrameTime = gameClock();
}

TEST_F(Timing, BossArrivesWhenItsWarpShowsFrameSixWhileTheClockWraps) {
    level = 6;
    setupLevel();
    emptyField();
    protect();
    rocksLeft = 2;  // no carrier in the way
    const int32_t appear = boss.bossAppearTime;
    // The game clock turns negative three frames into the warp; the warp and
    // an explosion go on across that moment.
    nearlyWrapped((appear + 4) * 20);
    while (!bossWarp->active) step();
    EXPECT_EQ(levelFrames - 1, appear + 1);
    bigRockHit(0, 0);
    int frameBefore = -1;
    for (int f = 0; !bossShip->active && f < 100; ++f) {
        EXPECT_NE(frameBefore, 6);
        frameBefore = bossWarp->frame;
        step();
    }
    EXPECT_EQ(frameBefore, 6);
    EXPECT_NEAR(bossShip->x, bossWarp->x + bossShip->vx, 1e-4);  // where the warp is
    EXPECT_LT(gameClock(), 0);
    EXPECT_FALSE(bigRockExplosions[0]->active);

    // The third hit destroys it. Destroyed while the warp still shows that
    // frame, it stays destroyed.
    ASSERT_EQ(bossWarp->frame, 6);
    for (int hit = 1; hit <= 3; ++hit) {
        EXPECT_TRUE(bossShip->active) << hit;
        bossHit(0);
    }
    EXPECT_FALSE(bossShip->active);
    EXPECT_EQ(score, 100 + 1500);
    while (bossWarp->active) step();
    EXPECT_FALSE(bossShip->active || boss.bossAlive);
}

TEST_F(Timing, KeysAreRedefinedWhileTheClockWraps) {
    nearlyWrapped(50);
    gameState = STATE_PAUSED;
    startKeyRedefinition();
    for (int key : {'A', 'B', 'C', 'D', 'E', 'F'}) {
        nowMs += 20;
        onKeyPress(key);
    }
    EXPECT_EQ(gameState, STATE_PAUSED);
    EXPECT_EQ(keyBindings.pause, 'F');
    keyBindings = {KEY_UP, KEY_LEFT, KEY_RIGHT, KEY_DOWN, KEY_SPACE, KEY_F11};
}

TEST_F(Timing, LaterSpritesCoverEarlierOnes) {
    // Each sheet row gets its own colour, so a pixel tells which image drew it.
    for (int i = 0; i < 200 * 850; ++i) rockSheetPixels[i] = uint16_t(0x2000 + i / 200);
    for (int i = 0; i < 774 * 459; ++i) by64SheetPixels[i] = uint16_t(0x6000 + i / 774);
    emptyField();
    place(bigRocks[0], 60.0f, 60.0f);
    place(shieldSprite, 100.0f, 100.0f);
    place(ship(), 100.0f, 100.0f);
    place(driftingScenery, 90.0f, 90.0f);
    levelBannerTimer = 0;
    const struct { Sprite* removed; uint16_t seen; } layers[] = {
        {nullptr, 0x6000 + 6 * 65 + 20},       // scenery over the ship
        {driftingScenery, 0x2000 + 4 * 33 + 10},  // ship over the shield
        {ship(), 0x2000 + 24 * 33 + 10},          // shield over the big rock
        {shieldSprite, 0x6000 + 50}};
    for (const auto& layer : layers) {
        if (layer.removed) layer.removed->active = false;
        drawWorld();
        EXPECT_EQ(pixel(110, 110), layer.seen);
    }
}

TEST_F(Timing, ALongBusyRunAllocatesNothing) {
    level = 10;
    setupLevel();
    counting = true;
    // Shots in all directions and the shield now and then, over several
    // levels and lost ships.
    for (int f = 0; f < 5000; ++f) {
        const int j = f % SHOT_SLOTS;
        if (!shotSprites[j]->active && (gameState == STATE_PLAYING || gameState == STATE_LEVEL_CLEARED)) {
            place(shotSprites[j], float(random() % 220), float(random() % 300),
                  float(headingX[f % 16] * 6.0), float(headingY[f % 16] * 6.0));
            shotDistance[j] = 0.0f;
        }
        if (f % 400 == 0 && shieldEnergy == SHIELD_FULL) shieldsUp = shieldSprite->active = true;
        if (lives < 1) lives = 3;
        step();
    }
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_GT(level, 10);
}

} // namespace
