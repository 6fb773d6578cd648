// Definitions of every global of the game world, grouped by lifetime as in
// game/game.h. Values here are the program-start values; the shell's resource
// set-up, the new-game reset and the level set-up give the real ones.
#include "game/game.h"

// ---------------------------------------------------------------------------
// Whole run
// ---------------------------------------------------------------------------
GameState gameState = STATE_TITLE;
GameState resumeState = STATE_PLAYING;
int32_t exitCountdown = 100;        // frames
int32_t highScore = 35000;          // points; replaced by the saved value at start-up

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
// Per game
// ---------------------------------------------------------------------------
int32_t level = 1;
int32_t lives = 0;                  // no ships before the first game
int32_t score = 0;                  // points
int32_t nextExtraLifeScore = 25000; // points
bool newHighScore = false;
bool gameAbandoned = false;

// ---------------------------------------------------------------------------
// Per level attempt
// ---------------------------------------------------------------------------
int32_t levelFrames = 0;            // frames
int32_t rocksLeft = 12;
float bigRockSpeed = 0.0f;          // pixels per frame
float mediumRockSpeed = 0.0f;       // pixels per frame
float smallRockSpeed = 0.0f;        // pixels per frame
float sceneryDriftSpeed = 0.0f;     // pixels per frame

int32_t respawnDelay = 0;           // frames
bool respawnOnNextLevel = false;
int32_t gameOverTimer = 0;          // frames
int32_t levelEndTimer = 0;          // frames
int32_t highScoreMessageTimer = 0;  // frames
int32_t levelBannerTimer = 0;       // frames

int32_t shipDirection = 0;          // heading 0..15
int32_t previousShipDirection = -1; // heading, -1 for none
float shipVelocityX = 0.0f;         // pixels per frame
float shipVelocityY = 0.0f;         // pixels per frame
bool turningLeft = false;
bool turningRight = false;
bool thrusting = false;
int32_t turnTimer = 0;              // frames

float shotDistance[SHOT_SLOTS];     // pixels
int32_t shotSlots = 1;
bool spreadShot = false;
float shotSpeed = 6.0f;             // pixels per frame
float shotRange = 160.0f;           // pixels
bool piercingShots = false;

bool shieldsUp = false;
float shieldEnergy = SHIELD_FULL;   // energy units
bool lowShieldWarned = false;
int32_t shieldFullFlash = 0;        // frames

PowerUpEntry powerUpTable[POWER_UP_ENTRIES];
int32_t powerUpIndex = -1;
int32_t nextCarrierFrame = 0;       // levelFrames value
bool carrierFlying = false;
bool powerUpRunning = false;
int32_t powerUpEndFrame = 0;        // levelFrames value
int32_t powerUpIconBlink = 0;       // frames
BossState boss;
