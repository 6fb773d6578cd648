// The world as bytes: one list of every value a game's course depends on,
// walked to write the world at a game's start, to check and set it back
// before a replay, and to hash it at the game's end.
//
// The list is the world's globals (game.h), the bindings and the screen the
// pause and redefinition screens return to (ui.h), the volumes (audio.h), the
// random generator's state and every sprite's changing fields. What set-up
// makes and never changes (pictures, sprite sizes, direction tables) is not
// in it, and neither is a value every course writes before it reads it
// (respawnOnNextLevel: the collision pass that loses the ship sets it, and only
// the end of that loss's wait reads it). A global added to the world belongs
// here too: the suite's WorldLists test fails until it is.
#include <cmath>
#include <cstring>

#include "app/app.h"
#include "app/replay.h"
#include "audio/audio.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "ui/ui.h"

namespace {

constexpr int MAX_SPRITES = 128;
constexpr int32_t ANY_LOW = INT32_MIN, ANY_HIGH = INT32_MAX;
// Counts of frames and of points: no game comes near, and the sum of two of
// them (a deadline is a frame count plus a duration) stays inside 32 bits.
constexpr int32_t COUNT_LIMIT = 1 << 29;
constexpr int32_t DEADLINE_LIMIT = NEVER + COUNT_LIMIT; // a frame to wait for, NEVER included
constexpr int32_t LIVES_LOW = -2, LIVES_HIGH = 9;       // given up .. the one-digit display
constexpr int32_t EXIT_FRAMES_HIGH = 100;               // the exit screen's countdown
constexpr int32_t LAST_ICON_FRAME = 8;                  // of the carrier's ten: each kind's pair
constexpr int32_t POWER_UP_KIND_HIGH = 5;
constexpr int32_t BOSS_HIT_POINTS_HIGH = 2;
constexpr float FLOAT_LIMIT = 1 << 20;                  // pixels, pixels per frame

bool validState(int32_t s) {
    return (s >= STATE_PLAYING && s <= STATE_GAME_OVER) || (s >= STATE_TITLE && s <= STATE_EXITING);
}

Sprite** sprites(int& count) {
    static Sprite* all[MAX_SPRITES];
    count = listSprites(all, MAX_SPRITES);
    if (count > MAX_SPRITES) count = MAX_SPRITES;
    return all;
}

// Visits every value in the one fixed order. Ranges are what the game can
// take without reading outside an array; the reader refuses anything else.
template <class V> void visitWorld(V& v) {
    v.state(gameState);
    v.state(resumeState);
    v.i32(exitCountdown, -1, EXIT_FRAMES_HIGH);
    v.i32(highScore);

    v.i32(level, 1, COUNT_LIMIT);
    v.i32(lives, LIVES_LOW, LIVES_HIGH);
    v.i32(score, 0, COUNT_LIMIT);
    v.i32(nextExtraLifeScore, 0, COUNT_LIMIT);
    v.flag(newHighScore);
    v.flag(gameAbandoned);

    v.i32(levelFrames, 0, COUNT_LIMIT);
    v.i32(rocksLeft, 0, SMALL_ROCKS);
    v.f32(bigRockSpeed);
    v.f32(mediumRockSpeed);
    v.f32(smallRockSpeed);
    v.f32(sceneryDriftSpeed);
    v.i32(respawnDelay, 0, COUNT_LIMIT);
    v.i32(gameOverTimer, 0, COUNT_LIMIT);
    v.i32(levelEndTimer, 0, COUNT_LIMIT);
    v.i32(highScoreMessageTimer, 0, COUNT_LIMIT);
    v.i32(levelBannerTimer, 0, COUNT_LIMIT);

    v.i32(shipDirection, 0, SHIP_HEADINGS - 1);
    v.i32(previousShipDirection, -1, SHIP_HEADINGS - 1);
    v.f32(shipVelocityX);
    v.f32(shipVelocityY);
    v.flag(turningLeft);
    v.flag(turningRight);
    v.flag(thrusting);
    v.i32(turnTimer, 0, COUNT_LIMIT);

    for (float& d : shotDistance) v.f32(d);
    v.i32(shotSlots, 1, SHOT_SLOTS);
    v.flag(spreadShot);
    v.f32(shotSpeed);
    v.f32(shotRange);
    v.flag(piercingShots);

    v.flag(shieldsUp);
    v.f32(shieldEnergy);
    v.flag(lowShieldWarned);
    v.i32(shieldFullFlash, 0, COUNT_LIMIT);

    for (PowerUpEntry& e : powerUpTable) {
        v.i32(e.appearDelay, 0, COUNT_LIMIT);
        v.i32(e.carrierY);
        v.i32(e.kind, 0, POWER_UP_KIND_HIGH);  // 0 before a level has drawn it
        v.i32(e.duration, 0, COUNT_LIMIT);
        v.i32(e.iconFrame, 0, LAST_ICON_FRAME);
        v.flag(e.animForward);
    }
    v.i32(powerUpIndex, -1, POWER_UP_ENTRIES - 1);
    v.i32(nextCarrierFrame, 0, DEADLINE_LIMIT);
    v.flag(carrierFlying);
    v.flag(powerUpRunning);
    v.i32(powerUpEndFrame, 0, DEADLINE_LIMIT);
    v.i32(powerUpIconBlink, 0, COUNT_LIMIT);

    v.i32(boss.bossAppearTime, 0, DEADLINE_LIMIT);
    v.i32(boss.bossBoxLeft);
    v.i32(boss.bossBoxTop);
    v.i32(boss.bossBoxRight);
    v.i32(boss.bossBoxBottom);
    v.f32(boss.bossStartX);
    v.f32(boss.bossStartY);
    v.flag(boss.bossFiring);
    v.flag(boss.bossAlive);
    v.i32(boss.bossHitPoints, 0, BOSS_HIT_POINTS_HIGH);
    v.i32(boss.bossShotIndex, 0, BOSS_PATTERN - 1);
    v.i32(boss.bossShotInterval, 0, COUNT_LIMIT);
    v.i32(boss.bossNextShotTime, 0, DEADLINE_LIMIT);
    for (int32_t& a : boss.bossShotAngle) v.i32(a);
    for (float& f : boss.bossShotVx) v.f32(f);
    for (float& f : boss.bossShotVy) v.f32(f);
    v.i32(boss.bossShotRange, 0, COUNT_LIMIT);
    v.i32(boss.bossShotTravel, 0, COUNT_LIMIT);

    v.i32(keyBindings.thrust);
    v.i32(keyBindings.left);
    v.i32(keyBindings.right);
    v.i32(keyBindings.shields);
    v.i32(keyBindings.fire);
    v.i32(keyBindings.pause);
    for (int32_t& k : capturedKeys) v.i32(k);
    v.state(pauseResumeState);

    v.i32(musicTrack);
    v.i32(musicVolume);
    v.i32(sfxVolume);

    v.random();

    // Before set-up (a replay file is checked before the game's objects
    // exist) the slots are empty: an idle sprite stands in, so the world's
    // size is the same either way.
    static Sprite unmade;
    int count = 0;
    Sprite** all = sprites(count);
    for (int i = 0; i < count; ++i) {
        Sprite* s = all[i] ? all[i] : &unmade;
        v.i32(s->frame, 0, s->frameCount > 0 ? s->frameCount - 1 : 0);
        v.i32(s->frameDelay);
        v.i32(s->lastFrameTime);
        v.i32(s->flags);
        v.f32(s->x);
        v.f32(s->y);
        v.f32(s->vx);
        v.f32(s->vy);
        v.i32(s->angle);
        v.flag(s->active);
    }
}

void put(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16), p[3] = uint8_t(v >> 24);
}
uint32_t get(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint32_t floatBits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

struct Counter {
    size_t words = 0;
    void i32(int32_t&, int32_t = 0, int32_t = 0) { ++words; }
    void f32(float&) { ++words; }
    void flag(bool&) { ++words; }
    void state(GameState&) { ++words; }
    void random() { words += WORLD_RANDOM_WORDS + 2; }
};

struct Writer {
    uint8_t* out;
    void word(uint32_t v) { put(out, v), out += 4; }
    void i32(int32_t& v, int32_t = 0, int32_t = 0) { word(uint32_t(v)); }
    void f32(float& v) { word(floatBits(v)); }
    void flag(bool& v) { word(v ? 1 : 0); }
    void state(GameState& v) { word(uint32_t(v)); }
    void random() {
        WorldRandomState r;
        saveWorldRandom(r);
        for (int32_t t : r.table) word(uint32_t(t));
        word(uint32_t(r.front)), word(uint32_t(r.rear));
    }
};

struct Checker {
    const uint8_t* in;
    bool ok = true;
    int32_t next() {
        const int32_t v = int32_t(get(in));
        in += 4;
        return v;
    }
    void i32(int32_t&, int32_t low = ANY_LOW, int32_t high = ANY_HIGH) {
        const int32_t v = next();
        ok = ok && v >= low && v <= high;
    }
    // Places, speeds and distances: a number, and within a million pixels,
    // so that every truncation to a pixel stays inside an int.
    void f32(float&) {
        const int32_t v = next();
        float f;
        std::memcpy(&f, &v, sizeof f);
        ok = ok && std::isfinite(f) && std::fabs(f) <= FLOAT_LIMIT;
    }
    void flag(bool&) {
        const int32_t v = next();
        ok = ok && (v == 0 || v == 1);
    }
    void state(GameState&) { ok = ok && validState(next()); }
    void random() {
        in += 4 * WORLD_RANDOM_WORDS;
        const int32_t front = next(), rear = next();
        ok = ok && front >= 0 && front < WORLD_RANDOM_WORDS && rear >= 0 && rear < WORLD_RANDOM_WORDS;
    }
};

struct Reader {
    const uint8_t* in;
    uint32_t word() {
        const uint32_t v = get(in);
        in += 4;
        return v;
    }
    void i32(int32_t& v, int32_t = 0, int32_t = 0) { v = int32_t(word()); }
    void f32(float& v) {
        const uint32_t u = word();
        std::memcpy(&v, &u, sizeof v);
    }
    void flag(bool& v) { v = word() != 0; }
    void state(GameState& v) { v = int32_t(word()); }
    void random() {
        WorldRandomState r;
        for (int32_t& t : r.table) t = int32_t(word());
        r.front = int32_t(word());
        r.rear = int32_t(word());
        restoreWorldRandom(r);
    }
};

} // namespace

size_t worldStateBytes() {
    Counter c;
    visitWorld(c);
    return c.words * 4;
}

void writeWorldState(uint8_t* out) {
    Writer w{out};
    visitWorld(w);
}

bool worldStateValid(const uint8_t* in) {
    Checker c{in};
    visitWorld(c);
    return c.ok;
}

void readWorldState(const uint8_t* in) {
    Reader r{in};
    visitWorld(r);
}

uint64_t hashBytes(const void* data, size_t size) {
    constexpr uint64_t OFFSET = 14695981039346656037ull, PRIME = 1099511628211ull;
    uint64_t h = OFFSET;
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) h = (h ^ p[i]) * PRIME;
    return h;
}

uint64_t worldStateHash() {
    static uint8_t bytes[16384];
    const size_t n = worldStateBytes();
    if (n > sizeof bytes) return 0;
    writeWorldState(bytes);
    return hashBytes(bytes, n);
}
