// Bonus carrier schedule, timed power-ups, and the boss ship's arrival and fire.
// All times are levelFrames values: frames since the current attempt began.
#include "audio/audio.h"
#include "game/game.h"
#include "game/world.h"

namespace {

constexpr int32_t CARRIER_DELAY_BASE = 100;     // frames
constexpr int32_t CARRIER_DELAY_SPREAD = 400;   // frames
constexpr int32_t CARRIER_Y_TOP = 50;           // pixels
constexpr int32_t CARRIER_Y_BAND_TRIM = 99;     // pixels kept clear below the band
constexpr int32_t POWER_UP_KINDS = 5;
constexpr int32_t POWER_UP_DURATION = 600;      // frames
constexpr float CARRIER_START_X = -32.0f;       // pixels, just off the left edge
constexpr int32_t CARRIER_MIN_ROCKS = 3;        // no carrier with this many rocks or fewer

constexpr int32_t BOSS_FIRST_LEVEL = 4;
constexpr int32_t BOSS_FIRING_LEVEL = 6;
constexpr int32_t BOSS_HIT_POINTS = 2;
constexpr int32_t BOSS_APPEAR_BASE = 250;       // frames
constexpr int32_t BOSS_APPEAR_SPREAD = 500;     // frames
constexpr int32_t BOSS_BOX_LEFT_SPREAD = 80;    // pixels
constexpr int32_t BOSS_BOX_TOP_SPREAD = 170;    // pixels
constexpr int32_t BOSS_BOX_WIDTH = 160;         // pixels
constexpr int32_t BOSS_BOX_HEIGHT = 150;        // pixels
constexpr int32_t BOSS_START_X_SPREAD = 96;     // pixels
constexpr int32_t BOSS_START_Y_SPREAD = 86;     // pixels
constexpr float BOSS_SPEED_PER_LEVEL = 0.09f;   // pixels per frame
constexpr int32_t BOSS_SHOT_RANGE = 100;        // pixels
constexpr int32_t BOSS_SHOT_INTERVAL_BASE = 150;   // frames
constexpr int32_t BOSS_SHOT_INTERVAL_SPREAD = 50;  // frames
constexpr float BOSS_SHOT_SPEED = 4.0f;         // pixels per frame
constexpr int32_t WARP_ARRIVAL_FRAME = 6;       // warp frame that delivers the boss
constexpr float BOSS_GUN_X = 24.0f;             // pixels from the boss's corner
constexpr float BOSS_GUN_Y = 40.0f;

// A random course for the boss: `speed` either way.
float bossCourse(float speed) { return randomBelow(10) > 4 ? speed : -speed; }

} // namespace

void grantPowerUp(int32_t kind) {
    switch (kind) {
    case POWER_UP_BOUNCING:
        for (Sprite* s : shotSprites) s->flags = SPRITE_BOUNCE;
        shotRange = 260.0f;
        break;
    case POWER_UP_SPREAD:
        spreadShot = true;
        shotSpeed = 10.0f;
        shotSlots = 3;
        break;
    case POWER_UP_FAST:
        shotSpeed = 12.0f;
        break;
    case POWER_UP_FIVE_SHOTS:
        shotSlots = SHOT_SLOTS;
        break;
    case POWER_UP_PIERCING:
        piercingShots = true;
        break;
    default:
        break;
    }
}

void endPowerUp(int32_t kind) {
    switch (kind) {
    case POWER_UP_BOUNCING:
        for (Sprite* s : shotSprites) s->flags = SPRITE_WRAP;
        shotRange = SHOT_RANGE_NORMAL;
        break;
    case POWER_UP_SPREAD:
        spreadShot = false;
        shotSpeed = SHOT_SPEED_NORMAL;
        shotSlots = SHOT_SLOTS_NORMAL;
        break;
    case POWER_UP_FAST:
        shotSpeed = SHOT_SPEED_NORMAL;
        break;
    case POWER_UP_FIVE_SHOTS:
        // The range is restored here as well, although this kind never changed it.
        shotRange = SHOT_RANGE_NORMAL;
        shotSlots = SHOT_SLOTS_NORMAL;
        break;
    case POWER_UP_PIERCING:
        piercingShots = false;
        break;
    default:
        break;
    }
}

void setupPowerUps() {
    const int32_t bottom = screenBottom();
    for (PowerUpEntry& e : powerUpTable) {
        e.appearDelay = CARRIER_DELAY_BASE + randomBelow(CARRIER_DELAY_SPREAD);
        e.carrierY = CARRIER_Y_TOP + randomBelow(bottom - CARRIER_Y_BAND_TRIM);
        e.kind = 1 + randomBelow(POWER_UP_KINDS);
        e.duration = POWER_UP_DURATION;
        e.iconFrame = (e.kind - 1) * 2;
        // animForward is left as it is: every launch sets it.
    }
}

void setupBoss() {
    boss.bossAppearTime = NEVER;
    if (level < BOSS_FIRST_LEVEL) {
        boss.bossFiring = false;
        boss.bossAlive = false;
        boss.bossHitPoints = BOSS_HIT_POINTS;
        bossWarp->active = false;
        bossShip->active = false;
        return;
    }

    boss.bossAppearTime = BOSS_APPEAR_BASE + randomBelow(BOSS_APPEAR_SPREAD);
    boss.bossBoxLeft = randomBelow(BOSS_BOX_LEFT_SPREAD);
    boss.bossBoxTop = randomBelow(BOSS_BOX_TOP_SPREAD);
    boss.bossBoxBottom = boss.bossBoxTop + BOSS_BOX_HEIGHT;
    boss.bossBoxRight = boss.bossBoxLeft + BOSS_BOX_WIDTH;
    boss.bossStartX = float(boss.bossBoxLeft + randomBelow(BOSS_START_X_SPREAD));
    boss.bossStartY = float(boss.bossBoxTop + randomBelow(BOSS_START_Y_SPREAD));
    boss.bossFiring = false;
    boss.bossAlive = false;
    boss.bossHitPoints = BOSS_HIT_POINTS;
    boss.bossShotIndex = 0;

    bossWarp->x = boss.bossStartX;
    bossWarp->y = boss.bossStartY;
    bossWarp->flags = 0;
    bossWarp->active = false;
    bossShip->active = false;

    const float speed = float(level) * BOSS_SPEED_PER_LEVEL;
    bossShip->vx = bossCourse(speed);
    bossShip->vy = bossCourse(speed);

    if (level >= BOSS_FIRING_LEVEL) {
        boss.bossShotRange = BOSS_SHOT_RANGE;
        boss.bossShotInterval = BOSS_SHOT_INTERVAL_BASE + randomBelow(BOSS_SHOT_INTERVAL_SPREAD);
        boss.bossNextShotTime = boss.bossAppearTime + boss.bossShotInterval;
        for (int k = 0; k < BOSS_PATTERN; ++k) {
            const int32_t a = randomAngle();
            boss.bossShotAngle[k] = a;
            boss.bossShotVx[k] = float(angleX[a] * BOSS_SHOT_SPEED);
            boss.bossShotVy[k] = float(angleY[a] * BOSS_SHOT_SPEED);
        }
        boss.bossFiring = true;
    }
}

void updatePowerUps() {
    // Carrier launch.
    if (!bonusCarrier->active && rocksLeft > CARRIER_MIN_ROCKS && levelFrames > nextCarrierFrame &&
        !carrierFlying) {
        powerUpIndex = powerUpIndex >= POWER_UP_ENTRIES - 1 ? 0 : powerUpIndex + 1;
        PowerUpEntry& e = powerUpTable[powerUpIndex];
        bonusCarrier->x = CARRIER_START_X;
        bonusCarrier->y = float(e.carrierY);
        bonusCarrier->setFrame(e.iconFrame);
        e.animForward = true;
        bonusCarrier->active = true;
        carrierFlying = true;
        playEffect(EFFECT_CARRIER_ARRIVES);
    }

    // Boss arrival. The warp holds its arrival frame for several game frames.
    // The boss is delivered on the first of them, when the warp is made to end
    // itself after its last frame; on the others a living boss is only kept
    // under the warp. So the boss comes once per attempt: one destroyed while
    // the warp still shows that frame stays destroyed.
    if (bossWarp->active) {
        if (bossWarp->frame == WARP_ARRIVAL_FRAME) {
            if (bossWarp->flags != SPRITE_ONE_SHOT) {
                bossWarp->flags = SPRITE_ONE_SHOT;
                boss.bossAlive = true;
                bossShip->active = true;
            }
            if (boss.bossAlive) {
                bossShip->x = bossWarp->x;
                bossShip->y = bossWarp->y;
            }
        }
    } else if (levelFrames > boss.bossAppearTime) {
        bossWarp->active = true;
        playEffect(EFFECT_BOSS_WARP);
        boss.bossAppearTime = NEVER;
    }

    // Boss fire. An overdue shot waits for the boss to be alive.
    if (boss.bossFiring && levelFrames > boss.bossNextShotTime && boss.bossAlive) {
        const int32_t k = boss.bossShotIndex;
        bossShot->x = bossShip->x + BOSS_GUN_X;
        bossShot->y = bossShip->y + BOSS_GUN_Y;
        bossShot->vx = boss.bossShotVx[k];
        bossShot->vy = boss.bossShotVy[k];
        bossShot->active = true;
        playEffect(EFFECT_BOSS_FIRE);
        boss.bossShotIndex = k >= BOSS_PATTERN - 1 ? 0 : k + 1;
        boss.bossShotTravel = 0;
        boss.bossNextShotTime += boss.bossShotInterval;
    }

    // Power-up end.
    if (powerUpRunning && levelFrames > powerUpEndFrame) {
        powerUpRunning = false;
        powerUpIcon->active = false;
        endPowerUp(powerUpTable[powerUpIndex].kind);
    }
}
