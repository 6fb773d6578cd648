// Frame-by-frame behaviour of the world at the edges the recorded games seldom
// reach or cannot hear: turning and drift, the shield's warning and flash, a
// carrier's sound, the boss's fire and its arrival while the clock wraps, and
// that a long run allocates nothing. Shot ranges, what each level brings, the
// spans of chance, the shield's and the carrier's schedules and the drawing
// order are held by the recorded games in tests/replays, which check the world
// and the picture as they play.
#include <atomic>
#include <cmath>
#include <new>
#include <string>
#include <tuple>

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

TEST_F(Timing, HeldTurnKeyTurnsEveryThirdFrameAndTheShipCoastsSlowingDown) {
    emptyField();
    turningLeft = true;
    turnTimer = 60;  // as a key press leaves it
    shipVelocityX = 1.5f, shipVelocityY = -1.0f;
    float x = ship()->x, y = ship()->y;
    for (int heading : {15, 15, 15, 14, 14, 14, 13}) {
        step();
        EXPECT_EQ(shipDirection, heading) << "frame " << levelFrames;
        x += 1.5f * std::pow(0.995f, float(levelFrames));  // 0.5 % of the speed lost per frame
        y -= std::pow(0.995f, float(levelFrames));
    }
    EXPECT_TRUE(!shipSprites[0]->active && shipSprites[13]->active);
    EXPECT_NEAR(ship()->x, x, 1e-4f);
    EXPECT_NEAR(ship()->y, y, 1e-4f);
    EXPECT_EQ(std::pair(shieldSprite->x, shieldSprite->y), std::pair(ship()->x, ship()->y));
}

// What the recorded games cannot hear or seldom reach: the shield's warning,
// once per discharge; its clamped recharge flashing the full bar yellow; a
// carrier's arrival sound; five shots ending by putting a changed range back.
TEST_F(Timing, ShieldWarningAndFlashCarrierSoundAndTheEndOfFiveShots) {
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
    EXPECT_TRUE(!lowShieldWarned && shieldEnergy == SHIELD_FULL);

    emptyField();
    protect();
    rocksLeft = 12;
    levelFrames = 1, nextCarrierFrame = 0;
    forgetEffects();
    updatePowerUps();
    EXPECT_TRUE(bonusCarrier->active && played(EFFECT_CARRIER_ARRIVES));
    grantPowerUp(POWER_UP_FIVE_SHOTS);
    shotRange = 260.0f;
    endPowerUp(POWER_UP_FIVE_SHOTS);
    EXPECT_TRUE(shotSlots == 1 && shotRange == 160.0f);
}

TEST_F(Timing, TheBossFiresItsPatternInOrderFromItsGunEachAttemptAfresh) {
    boss.bossShotIndex = 7;  // as the last attempt left it
    level = 6;
    setupLevel();
    emptyField();
    protect();
    boss.bossAlive = bossShip->active = true;
    place(bossShip, 100.0f, 60.0f);
    for (int k = 0; k < 2; ++k) {
        bossShot->active = false;
        levelFrames = boss.bossNextShotTime;
        updatePowerUps();
        EXPECT_FALSE(bossShot->active) << "due after, not at, its time";
        ++levelFrames;
        boss.bossShotTravel = 999;  // as the last shot's flight left it
        updatePowerUps();
        EXPECT_TRUE(bossShot->active && played(EFFECT_BOSS_FIRE) && boss.bossShotTravel == 0);
        EXPECT_EQ(std::tuple(bossShot->x, bossShot->y, bossShot->vx, bossShot->vy),
                  std::tuple(124.0f, 100.0f, boss.bossShotVx[k], boss.bossShotVy[k]));
    }
}

// Moves the game clock to `msToWrap` ms before it turns negative, with every
// animation last stepped now.
void nearlyWrapped(int64_t msToWrap) {
    clockBase = WorldTest::nowMs - ((int64_t(1) << 31) - msToWrap);
    WorldTest::forEachSprite([](Sprite* s) { s->lastFrameTime = gameClock(); });
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
