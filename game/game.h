// The game world: states, level set-up, motion, power-ups and the boss,
// collisions and their outcomes, score and lives, and the drawing of the play
// field. Plain global data and free functions; all objects are created once by
// the application shell and only switched on and off during play.
//
// Units: positions in screen pixels (origin top-left, y down), velocities in
// pixels per frame, timers in frames of the 20 ms tick unless said otherwise.
//
// Folder rule (CMakeLists.txt declares it, the include_direction test holds the
// sources to it): game/ uses gfx/, audio/, settings/ and input/ only,
// and no Qt or SDL.
#pragma once

#include <cstdint>

#include "game/sprite.h"
#include "settings/settings.h"  // highScore

// ---------------------------------------------------------------------------
// Game states
// ---------------------------------------------------------------------------
using GameState = int32_t;
constexpr GameState STATE_PLAYING = 0;
constexpr GameState STATE_SHIP_LOST = 1;
constexpr GameState STATE_GAME_OVER = 2;
constexpr GameState STATE_TITLE = 4;
constexpr GameState STATE_PAUSED = 5;
constexpr GameState STATE_MENU = 6;
constexpr GameState STATE_LEVEL_CLEARED = 7;
constexpr GameState STATE_NEXT_LEVEL = 8;
constexpr GameState STATE_REDEFINE_KEYS = 9;
constexpr GameState STATE_EXITING = 10;

// Counts of the fixed object arrays.
constexpr int SHIP_HEADINGS = 16;
constexpr int SHOT_SLOTS = 5;
constexpr int BIG_ROCKS = 3;
constexpr int MEDIUM_ROCKS = 6;
constexpr int SMALL_ROCKS = 12;
constexpr int DIGITS = 7;
constexpr int MENU_ITEMS = 7;
constexpr int POWER_UP_ENTRIES = 10;
constexpr int BOSS_PATTERN = 20;

constexpr float SHIELD_FULL = 278.0f;      // shield energy units
constexpr int NEVER = 999999999;           // a levelFrames value never reached

// ---------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------
struct PowerUpEntry {
    int32_t appearDelay;   // frames to wait before this carrier may appear
    int32_t carrierY;      // pixels, screen row of the crossing
    int32_t kind;          // 1..5
    int32_t duration;      // frames the power-up lasts (600)
    int32_t iconFrame;     // (kind - 1) * 2
    bool animForward;      // carrier animation direction
};

struct BossState {
    int32_t bossAppearTime;        // levelFrames after which the warp starts; NEVER = not (again)
    int32_t bossBoxLeft, bossBoxTop, bossBoxRight, bossBoxBottom;  // pixels, roaming box
    float bossStartX, bossStartY;  // pixels, warp position
    bool bossFiring;               // fires (level 6 and up)
    bool bossAlive;                // arrived and not yet destroyed
    int32_t bossHitPoints;         // hits absorbed before the destroying one
    int32_t bossShotIndex;         // next pattern entry, 0..19
    int32_t bossShotInterval;      // frames between shots
    int32_t bossNextShotTime;      // levelFrames after which the next shot fires
    int32_t bossShotAngle[BOSS_PATTERN];  // degrees
    float bossShotVx[BOSS_PATTERN];       // pixels per frame
    float bossShotVy[BOSS_PATTERN];       // pixels per frame
    int32_t bossShotRange;         // pixels (100)
    int32_t bossShotTravel;        // pixels flown by the current boss shot
};

// ---------------------------------------------------------------------------
// Whole run: program state, shared with the shell and the controls
// ---------------------------------------------------------------------------
extern GameState gameState;        // current state; STATE_TITLE after set-up
extern GameState resumeState;      // state to return to from pause / redefinition
extern int32_t exitCountdown;      // frames left on the exit screen (100 at start)

// Direction tables, single-precision values stored as doubles:
// X = sine of the direction, Y = minus its cosine; 0 points up, clockwise.
extern double headingX[SHIP_HEADINGS];
extern double headingY[SHIP_HEADINGS];
extern double angleX[360];
extern double angleY[360];

// Sprites, created once by the shell (null before set-up and after teardown).
extern Sprite* shipSprites[SHIP_HEADINGS];    // rockSheet strips 4..19
extern Sprite* bonusCarrier;
extern Sprite* powerUpIcon;
extern Sprite* bossShip;
extern Sprite* shotSprites[SHOT_SLOTS];
extern Sprite* bossShot;
extern Sprite* scoreDigits[DIGITS];
extern Sprite* highScoreDigits[DIGITS];
extern Sprite* menuItemSprites[MENU_ITEMS];
extern Sprite* levelDigits[2];
extern Sprite* levelLabel;
extern Sprite* messageSprite;                 // frame 0 game over, 1 level cleared, 2 high score
extern Sprite* keyPromptSprite;
extern Sprite* keyInUseSprite;
extern Sprite* livesDigit;
extern Sprite* livesIcon;
extern Sprite* shipExplosion;
extern Sprite* bossExplosion;
extern Sprite* driftingScenery;
extern Sprite* carrierExplosion;
extern Sprite* bossHitFlash;
extern Sprite* shieldSprite;
extern Sprite* bossWarp;
extern Sprite* trackNameSprite;
extern Sprite* bigRocks[BIG_ROCKS];
extern Sprite* bigRockExplosions[BIG_ROCKS];
extern Sprite* mediumRocks[MEDIUM_ROCKS];
extern Sprite* mediumRockExplosions[MEDIUM_ROCKS];
extern Sprite* smallRocks[SMALL_ROCKS];

// ---------------------------------------------------------------------------
// Carried over: each is set where it starts to count and otherwise keeps what
// the last use left, from one level and one game to the next; back to its
// start value only with the whole run
// ---------------------------------------------------------------------------
extern int32_t respawnDelay;       // frames left in STATE_SHIP_LOST
extern bool respawnOnNextLevel;    // the pass that lost the ship took the last target too
extern int32_t gameOverTimer;      // frames left in STATE_GAME_OVER (falls by 2)
extern int32_t levelEndTimer;      // frames left in STATE_LEVEL_CLEARED
extern int32_t highScoreMessageTimer;  // frames the high-score message stays up
extern int32_t previousShipDirection;  // heading before the last turn, -1 after a loss
extern int32_t turnTimer;          // frames since the last turn step
extern int32_t shieldFullFlash;    // frames the bar stays yellow after a refill
extern float sceneryDriftSpeed;    // pixels per frame, set from the scenery's first level
extern int32_t powerUpEndFrame;    // levelFrames after which the power-up ends
extern int32_t powerUpIconBlink;   // frames, 14-frame blink cycle of the icon
// Carrier schedule and boss; every level set-up draws what its level needs.
extern PowerUpEntry powerUpTable[POWER_UP_ENTRIES];
extern BossState boss;

// ---------------------------------------------------------------------------
// Per game: reset by every new game
// ---------------------------------------------------------------------------
extern int32_t level;              // 1-based
extern int32_t lives;              // ships in reserve, -2..9
extern int32_t score;              // points
extern int32_t nextExtraLifeScore; // points above which the next ship comes
extern bool newHighScore;          // score passed highScore in this game
extern bool gameAbandoned;         // quit from the pause screen
extern int32_t shipDirection;      // heading 0..15, 0 up, clockwise
extern float shipVelocityX;        // pixels per frame, kept from one attempt to the next
extern float shipVelocityY;        // pixels per frame

// ---------------------------------------------------------------------------
// Per level attempt: reset by every level set-up
// ---------------------------------------------------------------------------
extern int32_t levelFrames;        // frames since the attempt started
extern int32_t rocksLeft;          // small rocks still to destroy
extern float bigRockSpeed;         // pixels per frame
extern float mediumRockSpeed;      // pixels per frame
extern float smallRockSpeed;       // pixels per frame
extern int32_t levelBannerTimer;   // frames the level caption stays up

// Controls
extern bool turningLeft;           // left-turn key held
extern bool turningRight;          // right-turn key held
extern bool thrusting;             // thrust key held

// Shots
extern float shotDistance[SHOT_SLOTS];  // pixels counted for each shot
extern int32_t shotSlots;          // slots in use, 1..5
extern bool spreadShot;            // volley over three headings
extern float shotSpeed;            // pixels per frame
extern float shotRange;            // pixels
extern bool piercingShots;         // shots survive hits

// Shield
extern bool shieldsUp;
extern float shieldEnergy;         // energy units, full at exactly SHIELD_FULL
extern bool lowShieldWarned;       // warning sounded since the last refill

// Power-ups
extern int32_t powerUpIndex;       // entry now flying or last flown; -1 after set-up
extern int32_t nextCarrierFrame;   // levelFrames to pass before the next carrier
extern bool carrierFlying;
extern bool powerUpRunning;

// ---------------------------------------------------------------------------
// Operations
// ---------------------------------------------------------------------------
void updateGame();                 // one world step, drawn into backBuffer

// What resetWorldState puts back to its start value; each scope takes in the
// ones above it.
enum class WorldReset {
    LEVEL,  // the per-level-attempt globals, as every level set-up begins
    GAME,   // and the per-game ones: no game begun (no ships, level 1, score 0)
    RUN,    // and the carried-over ones, the game state, the state to resume
            // and the exit countdown: the program's start (the best score,
            // the tables and the sprites are not touched)
};
// The one list of the world's changing globals and their start values. The
// program starts with WorldReset::RUN done; the level set-up, the new game and
// the shell's resource set-up call it, and so do tests and tools that need a
// fresh world.
void resetWorldState(WorldReset scope);

void newGame();                    // a fresh game at level 1 (the level is set up next)
void setupLevel();                 // a fresh attempt at `level`
int32_t randomAngle();             // 0..359 but never 0, 90, 180 or 270
// Seeds the world's random generator: the C library's additive generator with
// its default state size, kept apart from the process-wide one, so that a
// library drawing numbers on another thread (the tracker-music player does)
// cannot shift the game's sequence. A seed gives the draws random() would give
// after srandom() of the same seed. Called once at start-up (tests and tools:
// whenever they need a known sequence).
void seedWorldRandom(uint32_t seed);
int32_t worldRandom();              // next draw, 0..2^31-1
// The generator's whole state, so that a recorded game can start again from
// the same draws: the table of the additive generator and its two positions.
constexpr int WORLD_RANDOM_WORDS = 31;
struct WorldRandomState {
    int32_t table[WORLD_RANDOM_WORDS];
    int32_t front, rear;            // positions in the table, 0..30
};
void saveWorldRandom(WorldRandomState& out);
void restoreWorldRandom(const WorldRandomState& in);  // positions checked by the caller
uint64_t worldRandomDraws();        // draws since the generator was last seeded
// The state that seeding with `seed` and then `draws` draws leave, worked out
// in a number of steps that does not grow with `draws` (a replay's start is
// checked against its seed with it).
void worldRandomAfter(uint32_t seed, uint64_t draws, WorldRandomState& out);

// Raised whenever a change makes the same inputs play out differently (a rule,
// a timing, the order of random draws): replays recorded under other rules are
// then refused instead of being shown wrong.
constexpr uint32_t WORLD_RULES = 1;

void updateMotion();
void moveShip();

void setupPowerUps();
void setupBoss();
void updatePowerUps();

bool spritesOverlap(const Sprite* a, const Sprite* b, int32_t marginA, int32_t marginB);
void detectCollisions();

void bigRockHit(int32_t i, int32_t j);
void mediumRockHit(int32_t i, int32_t j);
void smallRockHit(int32_t i, int32_t j);
void carrierHit(int32_t j);
void bossHit(int32_t j);
void shipLost();

void awardPoints(int32_t points);
void updateScoreDigits();
void updateHighScoreDigits();
void clearPlayfield();

void drawWorld();
void updateShieldBar();
