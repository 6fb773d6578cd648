// Definitions of every global of the game world, grouped by lifetime as in
// game/game.h, and the one function that gives the changing ones their start
// values. A global added to the run, game or level group below gets its value
// in resetWorldState and nowhere else: its definition has no initialiser. The
// suite's WorldLists test holds game.h, this reset and the replay's world
// bytes to one another.
#include "game/game.h"
#include "game/world.h"

namespace {
constexpr int32_t EXIT_FRAMES = 100;  // frames the exit screen stays up
} // namespace

// ---------------------------------------------------------------------------
// Whole run
// ---------------------------------------------------------------------------
GameState gameState;
GameState resumeState;
int32_t exitCountdown;              // frames

double headingX[SHIP_HEADINGS];
double headingY[SHIP_HEADINGS];
double angleX[360];
double angleY[360];

Sprite* shipSprites[SHIP_HEADINGS];
Sprite* bonusCarrier;
Sprite* powerUpIcon;
Sprite* bossShip;
Sprite* shotSprites[SHOT_SLOTS];
Sprite* bossShot;
Sprite* scoreDigits[DIGITS];
Sprite* highScoreDigits[DIGITS];
Sprite* menuItemSprites[MENU_ITEMS];
Sprite* levelDigits[2];
Sprite* levelLabel;
Sprite* messageSprite;
Sprite* keyPromptSprite;
Sprite* keyInUseSprite;
Sprite* livesDigit;
Sprite* livesIcon;
Sprite* shipExplosion;
Sprite* bossExplosion;
Sprite* driftingScenery;
Sprite* carrierExplosion;
Sprite* bossHitFlash;
Sprite* shieldSprite;
Sprite* bossWarp;
Sprite* trackNameSprite;
Sprite* bigRocks[BIG_ROCKS];
Sprite* bigRockExplosions[BIG_ROCKS];
Sprite* mediumRocks[MEDIUM_ROCKS];
Sprite* mediumRockExplosions[MEDIUM_ROCKS];
Sprite* smallRocks[SMALL_ROCKS];

// ---------------------------------------------------------------------------
// Carried over
// ---------------------------------------------------------------------------
int32_t respawnDelay;               // frames
bool respawnOnNextLevel;
int32_t gameOverTimer;              // frames
int32_t levelEndTimer;              // frames
int32_t highScoreMessageTimer;      // frames
int32_t previousShipDirection;      // heading, -1 for none
int32_t turnTimer;                  // frames
int32_t shieldFullFlash;            // frames
float sceneryDriftSpeed;            // pixels per frame
int32_t powerUpEndFrame;            // levelFrames value
int32_t powerUpIconBlink;           // frames
PowerUpEntry powerUpTable[POWER_UP_ENTRIES];
BossState boss;

// ---------------------------------------------------------------------------
// Per game
// ---------------------------------------------------------------------------
int32_t level;
int32_t lives;
int32_t score;                      // points
int32_t nextExtraLifeScore;         // points
bool newHighScore;
bool gameAbandoned;
int32_t shipDirection;              // heading 0..15
float shipVelocityX;                // pixels per frame
float shipVelocityY;                // pixels per frame

// ---------------------------------------------------------------------------
// Per level attempt
// ---------------------------------------------------------------------------
int32_t levelFrames;                // frames
int32_t rocksLeft;
float bigRockSpeed;                 // pixels per frame
float mediumRockSpeed;              // pixels per frame
float smallRockSpeed;               // pixels per frame
int32_t levelBannerTimer;           // frames

bool turningLeft;
bool turningRight;
bool thrusting;

float shotDistance[SHOT_SLOTS];     // pixels
int32_t shotSlots;
bool spreadShot;
float shotSpeed;                    // pixels per frame
float shotRange;                    // pixels
bool piercingShots;

bool shieldsUp;
float shieldEnergy;                 // energy units
bool lowShieldWarned;

int32_t powerUpIndex;
int32_t nextCarrierFrame;           // levelFrames value
bool carrierFlying;
bool powerUpRunning;

// ---------------------------------------------------------------------------
// Start values
// ---------------------------------------------------------------------------
void resetWorldState(WorldReset scope) {
    if (scope == WorldReset::RUN) {
        gameState = STATE_TITLE;
        resumeState = STATE_PLAYING;
        exitCountdown = EXIT_FRAMES;

        respawnDelay = gameOverTimer = levelEndTimer = highScoreMessageTimer = 0;
        respawnOnNextLevel = false;
        previousShipDirection = -1;
        turnTimer = 0;
        shieldFullFlash = 0;
        sceneryDriftSpeed = 0.0f;
        powerUpEndFrame = powerUpIconBlink = 0;
        for (PowerUpEntry& e : powerUpTable) e = PowerUpEntry();
        boss = BossState();
    }

    if (scope != WorldReset::LEVEL) {
        level = 1;
        lives = 0;                  // no ships before the first game
        score = 0;
        nextExtraLifeScore = EXTRA_LIFE_STEP;
        newHighScore = false;
        gameAbandoned = false;
        shipDirection = 0;
        shipVelocityX = shipVelocityY = 0.0f;
    }

    levelFrames = 0;
    rocksLeft = SMALL_ROCKS;
    bigRockSpeed = mediumRockSpeed = smallRockSpeed = 0.0f;
    levelBannerTimer = 0;

    turningLeft = turningRight = thrusting = false;

    for (float& d : shotDistance) d = 0.0f;
    shotSlots = SHOT_SLOTS_NORMAL;
    spreadShot = false;
    shotSpeed = SHOT_SPEED_NORMAL;
    shotRange = SHOT_RANGE_NORMAL;
    piercingShots = false;

    shieldsUp = false;
    shieldEnergy = SHIELD_FULL;
    lowShieldWarned = false;

    powerUpIndex = -1;
    nextCarrierFrame = 0;
    carrierFlying = false;
    powerUpRunning = false;
}

namespace {
// The program starts with no game begun, before anything else runs.
[[maybe_unused]] const bool startValuesGiven = (resetWorldState(WorldReset::RUN), true);
} // namespace
