// New-game reset and level set-up: ships, weapons, shield, displays and a fresh
// random rock field. Every attempt at a level, including a replay after a lost
// ship, starts here.
#include <cstdio>
#include <cstdlib>

#include "game/game.h"
#include "game/world.h"

namespace {

constexpr int32_t START_LIVES = 3;
constexpr int32_t LEVEL_BANNER_FRAMES = 100;      // frames
constexpr int32_t ROCK_EDGE_ALLOWANCE = 4;        // pixels kept free at the right and bottom
constexpr float CARRIER_SPEED_PER_LEVEL = 0.075f; // pixels per frame
constexpr float CARRIER_BASE_SPEED = 0.5f;        // pixels per frame
constexpr int32_t CARRIER_FRAME_DELAY = 90;       // ms
constexpr int32_t ICON_FRAME_DELAY = 200;         // ms
constexpr float ICON_X = 0.0f, ICON_Y = 290.0f;   // pixels
constexpr int32_t SHOT_FRAME_DELAY = 50;          // ms
constexpr float BOSS_SHOT_SPEED = 8.0f;           // pixels per frame, replaced when fired
constexpr float BIG_ROCK_SPEED_STEP = 0.1f;       // pixels per frame per (level + 3)
constexpr float MEDIUM_ROCK_SPEED_STEP = 0.15f;
constexpr float SMALL_ROCK_SPEED_STEP = 0.2f;
constexpr int32_t SCENERY_FIRST_LEVEL = 7;
constexpr float SCENERY_SPEED = 0.25f;            // pixels per frame
constexpr int32_t SCENERY_MARGIN = 68;            // pixels
constexpr int32_t BIG_ROCK_FRAME_DELAY = 10;      // ms
constexpr int32_t MEDIUM_ROCK_FRAME_DELAY = 5;    // ms
constexpr int32_t SMALL_ROCK_BASE_DELAY = 5;      // ms, plus 0..4
constexpr int32_t SMALL_ROCK_DELAY_SPREAD = 5;

// Gives a sprite the velocity `speed` along whole-degree direction `angle`:
// the double table value times the float speed, kept as float.
void aim(Sprite* s, int32_t angle, float speed) {
    s->angle = angle;
    s->vx = float(angleX[angle] * speed);
    s->vy = float(angleY[angle] * speed);
}

} // namespace

namespace {
constexpr size_t RANDOM_STATE_BYTES = 128;  // the C library's default state size
char randomState[RANDOM_STATE_BYTES];
random_data randomData;
uint64_t randomDraws = 0;                   // draws since the last seeding

void seedInto(uint32_t seed, char (&state)[RANDOM_STATE_BYTES], random_data& data) {
    data = random_data();
    initstate_r(seed, state, sizeof state, &data);
}

// Polynomials below x^31 with coefficients modulo 2^32, taken modulo
// x^31 - x^28 - 1: the generator's words follow w[n] = w[n-31] + w[n-3], so
// x^n modulo that polynomial gives w[n] in terms of the 31 words of a state.
using RandomPoly = uint32_t[WORLD_RANDOM_WORDS];

void multiplyModulo(const RandomPoly a, const RandomPoly b, RandomPoly out) {
    uint32_t wide[2 * WORLD_RANDOM_WORDS - 1] = {};
    for (int i = 0; i < WORLD_RANDOM_WORDS; ++i)
        for (int j = 0; j < WORLD_RANDOM_WORDS; ++j) wide[i + j] += a[i] * b[j];
    for (int t = 2 * WORLD_RANDOM_WORDS - 2; t >= WORLD_RANDOM_WORDS; --t) {
        wide[t - 3] += wide[t];  // x^t = x^(t-3) + x^(t-31)
        wide[t - WORLD_RANDOM_WORDS] += wide[t];
    }
    for (int i = 0; i < WORLD_RANDOM_WORDS; ++i) out[i] = wide[i];
}
} // namespace

void seedWorldRandom(uint32_t seed) {
    seedInto(seed, randomState, randomData);
    randomDraws = 0;
}

int32_t worldRandom() {
    if (!randomData.state) seedWorldRandom(1);  // unseeded, like the C library
    int32_t value = 0;
    random_r(&randomData, &value);
    ++randomDraws;
    return value;
}

uint64_t worldRandomDraws() {
    return randomDraws;
}

// The oldest of the 31 words sits at the front position and the newest just
// before it; `draws` draws later the front has moved on by `draws` places and
// each place holds the word that many steps newer.
void worldRandomAfter(uint32_t seed, uint64_t draws, WorldRandomState& out) {
    char state[RANDOM_STATE_BYTES];
    random_data data;
    seedInto(seed, state, data);
    const int front = int(data.fptr - data.state), rear = int(data.rptr - data.state);
    uint32_t words[WORLD_RANDOM_WORDS];
    for (int k = 0; k < WORLD_RANDOM_WORDS; ++k)
        words[k] = uint32_t(data.state[(front + k) % WORLD_RANDOM_WORDS]);

    RandomPoly power = {1}, base = {0, 1};  // x^0, x^1
    for (uint64_t n = draws; n; n >>= 1) {
        if (n & 1) multiplyModulo(power, base, power);
        multiplyModulo(base, base, base);
    }
    const int shift = int(draws % WORLD_RANDOM_WORDS);
    for (int k = 0; k < WORLD_RANDOM_WORDS; ++k) {
        uint32_t word = 0;
        for (int i = 0; i < WORLD_RANDOM_WORDS; ++i) word += power[i] * words[i];
        out.table[(front + shift + k) % WORLD_RANDOM_WORDS] = int32_t(word);
        // One step newer: times x.
        const uint32_t top = power[WORLD_RANDOM_WORDS - 1];
        for (int i = WORLD_RANDOM_WORDS - 1; i > 0; --i) power[i] = power[i - 1];
        power[0] = top;
        power[WORLD_RANDOM_WORDS - 3] += top;
    }
    out.front = (front + shift) % WORLD_RANDOM_WORDS;
    out.rear = (rear + shift) % WORLD_RANDOM_WORDS;
}

void saveWorldRandom(WorldRandomState& out) {
    if (!randomData.state) seedWorldRandom(1);
    for (int i = 0; i < WORLD_RANDOM_WORDS; ++i) out.table[i] = randomData.state[i];
    out.front = int32_t(randomData.fptr - randomData.state);
    out.rear = int32_t(randomData.rptr - randomData.state);
}

void restoreWorldRandom(const WorldRandomState& in) {
    if (!randomData.state) seedWorldRandom(1);
    for (int i = 0; i < WORLD_RANDOM_WORDS; ++i) randomData.state[i] = in.table[i];
    randomData.fptr = randomData.state + in.front;
    randomData.rptr = randomData.state + in.rear;
}

int32_t randomAngle() {
    int32_t a = randomBelow(360);
    // Nothing may travel exactly along an axis: nudge the four axis angles.
    if (a == 0 || a == 90 || a == 180 || a == 270) a += 2;
    return a;
}

void newGame() {
    // Every count and flag of a game and of a level starts from its start
    // value; a game given up from the pause screen leaves its ship moving, so
    // the ship's speed goes too.
    resetWorldState(WorldReset::GAME);
    lives = START_LIVES;
    Sprite* ship = shipSprites[0];
    ship->x = SHIP_START_X;
    ship->y = SHIP_START_Y;
    ship->vx = ship->vy = 0.0f;
    ship->setFrame(0);
    for (Sprite* s : shipSprites) {
        s->active = false;
        s->flags = SPRITE_WRAP;
    }
    shipSprites[0]->active = true;
    updateHighScoreDigits();
}

// The frame driver's re-entry flag is deliberately left alone here: the level
// set-up runs inside a frame (or a key handler within one), and clearing the
// flag would only allow a nested frame that nothing needs.
void setupLevel() {
    resetWorldState(WorldReset::LEVEL);
    const int32_t right = screenRight();
    const int32_t bottom = screenBottom();

    // Level caption: two digits from "%02d"; below level 10 only the units
    // digit, in the first position. Only the first two characters ever show.
    char text[16];
    std::snprintf(text, sizeof text, "%02d", level);
    levelDigits[0]->setFrame(text[0] - '0');
    levelDigits[1]->setFrame(text[1] - '0');
    levelBannerTimer = LEVEL_BANNER_FRAMES;
    if (level <= 9) {
        levelDigits[0]->setFrame(text[1] - '0');
        levelDigits[0]->active = true;
        levelDigits[1]->active = false;
    } else {
        levelDigits[0]->active = true;
        levelDigits[1]->active = true;
    }
    levelLabel->active = true;

    gameState = STATE_PLAYING;

    setupPowerUps();
    for (Sprite* s : shotSprites) s->flags = SPRITE_WRAP;

    bonusCarrier->active = false;
    bonusCarrier->vy = 0.0f;
    bonusCarrier->frameDelay = CARRIER_FRAME_DELAY;
    bonusCarrier->flags = SPRITE_EXIT_RIGHT;
    bonusCarrier->vx = float(level) * CARRIER_SPEED_PER_LEVEL + CARRIER_BASE_SPEED;

    powerUpIcon->active = false;
    powerUpIcon->vx = powerUpIcon->vy = 0.0f;
    powerUpIcon->frameDelay = ICON_FRAME_DELAY;
    powerUpIcon->x = ICON_X;
    powerUpIcon->y = ICON_Y;
    powerUpIcon->flags = 0;

    nextCarrierFrame = powerUpTable[0].appearDelay;
    setupBoss();

    // Every attempt begins shielded at full energy; the ship keeps its
    // position, heading and velocity.
    shieldSprite->x = SHIP_START_X;
    shieldSprite->y = SHIP_START_Y;
    shieldSprite->vx = shieldSprite->vy = 0.0f;
    shieldsUp = true;
    for (Sprite* s : shipSprites) {
        s->active = false;
        s->flags = SPRITE_WRAP;
        s->setFrame(0);
    }
    shipSprites[shipDirection]->active = true;
    shieldSprite->active = true;

    for (int i = 0; i < SHOT_SLOTS; ++i) {
        Sprite* s = shotSprites[i];
        s->x = s->y = 0.0f;
        s->vx = s->vy = shotSpeed;
        s->active = false;
        s->frameDelay = SHOT_FRAME_DELAY;
        s->flags = SPRITE_WRAP;
    }

    bossShot->x = bossShot->y = 0.0f;
    bossShot->active = false;
    bossShot->vx = bossShot->vy = BOSS_SHOT_SPEED;
    bossShot->frameDelay = SHOT_FRAME_DELAY;
    bossShot->flags = SPRITE_WRAP;

    for (int k = 0; k < DIGITS; ++k) {
        scoreDigits[k]->active = true;
        highScoreDigits[k]->active = true;
    }
    levelLabel->active = true;
    livesDigit->active = true;
    livesDigit->setFrame(lives);
    livesIcon->active = true;

    bigRockSpeed = float(level + 3) * BIG_ROCK_SPEED_STEP;
    mediumRockSpeed = float(level + 3) * MEDIUM_ROCK_SPEED_STEP;
    smallRockSpeed = float(level + 3) * SMALL_ROCK_SPEED_STEP;

    if (level >= SCENERY_FIRST_LEVEL) {
        // The scenery may drift along an axis: a plain draw, no nudging.
        sceneryDriftSpeed = SCENERY_SPEED;
        int32_t angle = randomBelow(360);
        driftingScenery->angle = angle;
        driftingScenery->x = float(randomBelow(right - SCENERY_MARGIN));
        driftingScenery->y = float(randomBelow(bottom - SCENERY_MARGIN));
        driftingScenery->vx = float(angleX[angle] * SCENERY_SPEED);
        driftingScenery->vy = float(angleY[angle] * SCENERY_SPEED);
        driftingScenery->active = true;
        driftingScenery->flags = SPRITE_WRAP;
    }

    for (int i = 0; i < BIG_ROCKS; ++i) {
        Sprite* r = bigRocks[i];
        r->x = float(randomBelow(right - r->width - ROCK_EDGE_ALLOWANCE));
        r->y = float(randomBelow(bottom - r->height - ROCK_EDGE_ALLOWANCE));
        aim(r, randomAngle(), bigRockSpeed);
        r->frameDelay = BIG_ROCK_FRAME_DELAY;
        r->active = true;
        r->flags = SPRITE_WRAP;
        bigRockExplosions[i]->active = false;
    }
    // Medium and small rocks get their courses now and their places when the
    // rock they come from breaks.
    for (int i = 0; i < MEDIUM_ROCKS; ++i) {
        Sprite* r = mediumRocks[i];
        aim(r, randomAngle(), mediumRockSpeed);
        r->frameDelay = MEDIUM_ROCK_FRAME_DELAY;
        r->active = false;
        r->flags = SPRITE_WRAP;
        mediumRockExplosions[i]->active = false;
    }
    for (int i = 0; i < SMALL_ROCKS; ++i) {
        Sprite* r = smallRocks[i];
        aim(r, randomAngle(), smallRockSpeed);
        r->frameDelay = SMALL_ROCK_BASE_DELAY + randomBelow(SMALL_ROCK_DELAY_SPREAD);
        r->active = false;
        r->flags = SPRITE_WRAP;
    }

    messageSprite->active = false;
}
