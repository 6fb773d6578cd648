// One-time creation of every buffer, picture and game object, the direction
// tables, and the teardown that gives them all back.
//
// Everything here is made once before the first frame and lives for the whole
// run; play only switches objects on and off. Set-up failures are fatal (a
// box, then exit status 0) except the play-field background.

#include <cmath>
#include <cstdlib>
#include <new>
#include <sys/time.h>
#include <unistd.h>

#include "app/app.h"
#include "app/replay.h"
#include "audio/audio.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "platform/config.h"
#include "settings/settings.h"

namespace {

// Sizes of the pictures (pixels). The sheets' sizes also go to every Sprite cut
// from them.
constexpr int BACKGROUND_W = 240, BACKGROUND_H = 320;
constexpr int TITLE_W = 240, TITLE_H = 320;
constexpr int EXIT_W = 240, EXIT_H = 180;
constexpr int MENU_ITEM_SHEET_W = 142, MENU_ITEM_SHEET_H = 200;
constexpr int MENU_W = 240, MENU_H = 100;
constexpr int TEXT_SHEET_W = 500, TEXT_SHEET_H = 300;
constexpr int BANNER_W = 240, BANNER_H = 60;
constexpr int ROCK_SHEET_W = 200, ROCK_SHEET_H = 850;
constexpr int BY64_SHEET_W = 774, BY64_SHEET_H = 459;

const char* const MSG_MEMORY = "failure to assign memory";
const char* const MSG_PICTURE_MEMORY = "25. failure to assign memory";

// A pixel array: its slot and its length in pixels.
struct PixelArray {
    uint16_t** slot;
    int pixels;
};

// Allocation order of the eleven arrays.
const PixelArray PIXEL_ARRAYS[] = {
    {&backBuffer, SCREEN_PIXELS},
    {&backgroundPixels, BACKGROUND_W * BACKGROUND_H},
    {&titlePixels, TITLE_W * TITLE_H},
    {&exitPixels, EXIT_W * EXIT_H},
    {&menuItemPixels, MENU_ITEM_SHEET_W * MENU_ITEM_SHEET_H},
    {&pauseSnapshot, SCREEN_PIXELS},
    {&menuPixels, MENU_W * MENU_H},
    {&rockSheetPixels, ROCK_SHEET_W * ROCK_SHEET_H},
    {&by64SheetPixels, BY64_SHEET_W * BY64_SHEET_H},
    {&textSheetPixels, TEXT_SHEET_W * TEXT_SHEET_H},
    {&bannerPixels, BANNER_W * BANNER_H},
};

// Freeing order of the teardown.
uint16_t** const FREE_ORDER[] = {
    &backBuffer, &titlePixels, &exitPixels, &menuItemPixels, &pauseSnapshot, &menuPixels,
    &textSheetPixels, &bannerPixels, &rockSheetPixels, &by64SheetPixels, &backgroundPixels,
};

// One picture file: where it goes and what is said when it fails.
struct PictureFile {
    int file;                  // picturePaths index, 1..9
    Picture** record;
    uint16_t** pixels;
    int width, height;         // pixels
    const char* recordMessage; // null: no test of the record allocation
    const char* loadMessage;   // fatal unless `fatal` is false
    bool fatal;
};

const PictureFile PICTURE_FILES[] = {
    {1, &backgroundPicture, &backgroundPixels, BACKGROUND_W, BACKGROUND_H, nullptr,
     "Failure to load background image", false},
    {6, &titlePicture, &titlePixels, TITLE_W, TITLE_H, MSG_PICTURE_MEMORY,
     "Error loading title image", true},
    {7, &exitPicture, &exitPixels, EXIT_W, EXIT_H, MSG_PICTURE_MEMORY,
     "Error loading title image", true},
    {8, &menuItemSheet, &menuItemPixels, MENU_ITEM_SHEET_W, MENU_ITEM_SHEET_H,
     MSG_PICTURE_MEMORY, "Error loading title image", true},
    {9, &menuPicture, &menuPixels, MENU_W, MENU_H, MSG_PICTURE_MEMORY,
     "Error loading menu image", true},
    {3, &textSheet, &textSheetPixels, TEXT_SHEET_W, TEXT_SHEET_H, MSG_MEMORY,
     "Error loading text image", true},
    {4, &bannerPicture, &bannerPixels, BANNER_W, BANNER_H, MSG_MEMORY,
     "Error loading text image", true},
    {2, &rockSheet, &rockSheetPixels, ROCK_SHEET_W, ROCK_SHEET_H, MSG_MEMORY,
     "Error loading rock image", true},
    {5, &by64Sheet, &by64SheetPixels, BY64_SHEET_W, BY64_SHEET_H, MSG_MEMORY,
     "Error loading by64 image", true},
};

Picture** const PICTURE_RECORDS[] = {
    &backgroundPicture, &titlePicture, &exitPicture, &menuItemSheet, &menuPicture,
    &textSheet, &bannerPicture, &rockSheet, &by64Sheet,
};

// Which sheet a sprite is cut from (its size is passed to setup()).
enum Sheet { ROCKS, TEXT, MENU_ITEMS_SHEET, BY64 };

void sheetSize(Sheet s, int& w, int& h) {
    switch (s) {
    case ROCKS: w = ROCK_SHEET_W; h = ROCK_SHEET_H; return;
    case TEXT: w = TEXT_SHEET_W; h = TEXT_SHEET_H; return;
    case MENU_ITEMS_SHEET: w = MENU_ITEM_SHEET_W; h = MENU_ITEM_SHEET_H; return;
    case BY64: w = BY64_SHEET_W; h = BY64_SHEET_H; return;
    }
}

// Set when a Sprite could not be created: the rest are then skipped.
bool spriteFailed = false;

// Empties `slot`, creates a fresh Sprite there and sets it up. An object left
// from an earlier set-up in the same process is deleted first, so repeated
// set-ups (tests, tools) do not leak.
Sprite* makeSprite(Sprite*& slot, const char* message, Sheet sheet, int row, int w, int h,
                   int frames, int delay = SPRITE_DEFAULT_DELAY, int flags = 0,
                   float x = 0.0f, float y = 0.0f) {
    delete slot;
    slot = nullptr;
    if (spriteFailed)
        return nullptr;
    slot = new (std::nothrow) Sprite();
    if (!slot) {
        spriteFailed = true;
        fatalError(message);
        return nullptr;
    }
    int sw = 0, sh = 0;
    sheetSize(sheet, sw, sh);
    slot->setup(sw, sh, row, w, h, frames);
    slot->setFrameDelay(delay);
    slot->setFlags(flags);
    slot->setX(x);
    slot->setY(y);
    slot->setVx(0.0f);
    slot->setVy(0.0f);
    slot->setActive(false);
    return slot;
}

// Top-left corners of the seven menu items (their touch areas), pixels.
constexpr int MENU_ITEM_POS[MENU_ITEMS][2] = {
    {49, 195}, {10, 280}, {10, 280}, {88, 280}, {88, 280}, {49, 230}, {49, 210},
};

// Every sprite slot, in deletion order (any order would do).
template <typename F> void forEachSpriteSlot(F f) {
    for (auto& s : shipSprites) f(s);
    f(bonusCarrier);
    f(powerUpIcon);
    f(bossShip);
    for (auto& s : shotSprites) f(s);
    f(bossShot);
    for (auto& s : scoreDigits) f(s);
    for (auto& s : highScoreDigits) f(s);
    for (auto& s : menuItemSprites) f(s);
    for (auto& s : levelDigits) f(s);
    f(levelLabel);
    f(messageSprite);
    f(keyPromptSprite);
    f(keyInUseSprite);
    f(livesDigit);
    f(livesIcon);
    f(shipExplosion);
    f(bossExplosion);
    f(driftingScenery);
    f(carrierExplosion);
    f(bossHitFlash);
    f(shieldSprite);
    f(bossWarp);
    f(trackNameSprite);
    for (int i = 0; i < BIG_ROCKS; ++i) {
        f(bigRocks[i]);
        f(bigRockExplosions[i]);
    }
    for (int i = 0; i < MEDIUM_ROCKS; ++i) {
        f(mediumRocks[i]);
        f(mediumRockExplosions[i]);
    }
    for (auto& s : smallRocks) f(s);
}

// Angles of the direction tables, as doubles: the half and the quarter turn.
constexpr double HALF_TURN = 3.14159;
constexpr double QUARTER_TURN = 1.570795;
constexpr double HEADING_STEP = 22.5;        // degrees between ship headings

// Seed mixing for runs that should differ: microseconds of the time of day
// with the process id spread over the high bits.
unsigned int freshSeed() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    const uint64_t us = uint64_t(tv.tv_sec) * 1000000u + uint64_t(tv.tv_usec);
    return unsigned(us ^ (us >> 32)) ^ (unsigned(getpid()) * 2654435761u);
}

} // namespace

int listSprites(Sprite** out, int capacity) {
    int n = 0;
    forEachSpriteSlot([&](Sprite*& s) {
        if (n < capacity) out[n] = s;
        ++n;
    });
    return n;
}

bool allocateBuffers() {
    // The arrays are zeroed so that a picture that failed to load shows black.
    // An allocation failure here is reported like the other set-up failures.
    for (const PixelArray& a : PIXEL_ARRAYS) {
        delete[] *a.slot;
        *a.slot = new (std::nothrow) uint16_t[a.pixels]();
        if (!*a.slot) {
            fatalError(MSG_MEMORY);
            return false;
        }
    }
    return true;
}

bool loadAllPictures() {
    for (const PictureFile& p : PICTURE_FILES) {
        delete *p.record;
        *p.record = nullptr;
        *p.record = new (std::nothrow) Picture{0, 0};
        if (!*p.record) {
            fatalError(p.recordMessage ? p.recordMessage : MSG_MEMORY);
            return false;
        }
        const char* path = picturePaths[p.file];
        if (!loadPicture(*p.record, path, p.width, p.height, *p.pixels)) {
            if (!p.fatal) {
                showErrorMessage(p.loadMessage, path);
                continue;
            }
            fatalError(p.loadMessage, path);
            return false;
        }
    }
    return true;
}

bool createSprites() {
    spriteFailed = false;
    for (int i = 0; i < SHIP_HEADINGS; ++i)
        makeSprite(shipSprites[i], "3. failure to assign memory", ROCKS, 4 + i, 32, 32, 6, 50);
    makeSprite(bonusCarrier, "4. failure to assign memory", TEXT, 8, 32, 32, 10);
    makeSprite(powerUpIcon, "4. failure to assign memory", TEXT, 8, 32, 32, 10);
    makeSprite(bossShip, "5. failure to assign memory", ROCKS, 11, 64, 64, 3, 20, SPRITE_BOUNCE);
    for (auto& s : shotSprites)
        makeSprite(s, "6. failure to assign memory", ROCKS, 7, 8, 8, 4);
    makeSprite(bossShot, "7. failure to assign memory", ROCKS, 7, 10, 10, 4);
    for (int i = 0; i < DIGITS; ++i)
        makeSprite(scoreDigits[i], "9. failure to assign memory", TEXT, 0, 8, 16, 10, 0, 0,
                   float(147 + 9 * i), 4.0f);
    for (int i = 0; i < DIGITS; ++i)
        makeSprite(highScoreDigits[i], "9. failure to assign memory", TEXT, 0, 8, 16, 10, 0, 0,
                   float(17 + 9 * i), 4.0f);
    for (int i = 0; i < MENU_ITEMS; ++i)
        makeSprite(menuItemSprites[i], "9. failure to assign memory", MENU_ITEMS_SHEET, i, 142,
                   24, 1, 0, 0, float(MENU_ITEM_POS[i][0]), float(MENU_ITEM_POS[i][1]));
    for (int i = 0; i < 2; ++i)
        makeSprite(levelDigits[i], "11. failure to assign memory", TEXT, 2, 32, 32, 10, 0, 0,
                   float(148 + 22 * i), 100.0f);
    makeSprite(levelLabel, "12. failure to assign memory", TEXT, 1, 96, 32, 1, 0, 0, 50.0f,
               100.0f);
    makeSprite(messageSprite, "13. failure to assign memory", TEXT, 2, 164, 64, 3, 0, 0, 38.0f,
               80.0f);
    makeSprite(keyPromptSprite, "13. failure to assign memory", TEXT, 14, 82, 16, 6, 0, 0,
               75.0f, 240.0f);
    makeSprite(keyInUseSprite, "13. failure to assign memory", TEXT, 3, 200, 32, 6, 0, 0, 20.0f,
               260.0f);
    makeSprite(livesDigit, "14. failure to assign memory", TEXT, 1, 8, 16, 10, 0, 0, 232.0f,
               0.0f);
    if (livesDigit)
        livesDigit->setFrame(lives);
    makeSprite(livesIcon, "15. failure to assign memory", ROCKS, 4, 32, 32, 1, 0, 0, 207.0f,
               3.0f);
    makeSprite(shipExplosion, "16. failure to assign memory", BY64, 3, 64, 64, 6, 60,
               SPRITE_ONE_SHOT);
    makeSprite(bossExplosion, "16. failure to assign memory", BY64, 3, 64, 64, 6, 60,
               SPRITE_ONE_SHOT);
    makeSprite(driftingScenery, "16. failure to assign memory", BY64, 6, 90, 64, 1, 0);
    makeSprite(carrierExplosion, "16. failure to assign memory", BY64, 3, 64, 64, 6, 60,
               SPRITE_ONE_SHOT);
    makeSprite(bossHitFlash, "17. failure to assign memory", ROCKS, 20, 32, 32, 4, 60,
               SPRITE_ONE_SHOT);
    makeSprite(shieldSprite, "17. failure to assign memory", ROCKS, 24, 32, 32, 4, 20);
    makeSprite(bossWarp, "18. failure to assign memory", BY64, 4, 64, 64, 8, 100);
    makeSprite(trackNameSprite, "18. failure to assign memory", TEXT, 6, 165, 32, 3, 0, 0,
               74.0f, 160.0f);
    for (int i = 0; i < BIG_ROCKS; ++i) {
        makeSprite(bigRocks[i], "20. failure to assign memory", BY64, i, 128, 64, 4);
        makeSprite(bigRockExplosions[i], "20. failure to assign memory", BY64, 5, 128, 64, 6, 60,
                   SPRITE_ONE_SHOT);
    }
    for (int i = 0; i < MEDIUM_ROCKS; ++i) {
        makeSprite(mediumRocks[i], "22. failure to assign memory", ROCKS, 0, 32, 32, 4);
        makeSprite(mediumRockExplosions[i], "20. failure to assign memory", BY64, 3, 64, 64, 6,
                   60, SPRITE_ONE_SHOT);
    }
    for (auto& s : smallRocks)
        makeSprite(s, "24. failure to assign memory", ROCKS, 6, 16, 16, 2);
    return !spriteFailed;
}

void buildDirectionTables() {
    // The angle is rounded to single precision before the quarter turn is
    // added; the results are single-precision values kept as doubles.
    for (int k = 0; k < SHIP_HEADINGS; ++k) {
        const float t = float(k * HEADING_STEP * HALF_TURN / 180.0);
        const double a = double(t) + QUARTER_TURN;
        headingY[k] = double(float(-std::sin(a)));
        headingX[k] = double(float(-std::cos(a)));
    }
    for (int k = 0; k < 360; ++k) {
        const float t = float(k * HALF_TURN / 180.0);
        const double a = double(t) + QUARTER_TURN;
        angleY[k] = double(float(-std::sin(a)));
        angleX[k] = double(float(-std::cos(a)));
    }
}

bool setupResources() {
    if (!allocateBuffers() || !loadAllPictures())
        return false;

    // A fixed seed would give every run the same rocks and carriers, so the
    // generator is seeded from a value that changes between runs; the game
    // clock is still started here, at its first use.
    const int32_t clockStart = gameClock();
    startSeed = randomSeedOverride >= 0 ? uint32_t(randomSeedOverride)
                                        : freshSeed() + uint32_t(clockStart);
    seedWorldRandom(startSeed);

    if (!createSprites())
        return false;

    // The title screen of a world where no game has begun.
    resetWorldState(WorldReset::RUN);

    setUpAudio(dataDirectory, theWidget);
    initAudio();
    applyMusicVolume();
    applyEffectVolume();
    // Pads plugged in now or later play; without one nothing changes.
    padReader = openPads() ? readPads : nullptr;

    buildDirectionTables();
    return true;
}

// Every way out that lets the game end itself comes here (the exit screen, a
// termination request, the window closed); the keeper covers the others.
void shutdown() {
    // A game under way when the program ends is kept as the last game, marked
    // as ended early; settings changed in the menus are saved as the exit
    // screen saves them.
    recorderStop();
    saveSettings();
    keeperDone();
    Config launch("Kelpworks", Config::User);
    launch.setGroup("corvusraiders");
    // A desktop has no hardware keys that were taken away from other programs
    // (the start-up grab only records the request), so there is nothing to
    // hand back here: the setting is read and deliberately left unused.
    (void)launch.readNumEntry("GrabKeys", 1);

    shutdownAudio();
    padReader = nullptr;
    closePads();

    for (uint16_t** slot : FREE_ORDER) {
        delete[] *slot;
        *slot = nullptr;
    }
    for (Picture** record : PICTURE_RECORDS) {
        delete *record;
        *record = nullptr;
    }
    forEachSpriteSlot([](Sprite*& s) {
        delete s;
        s = nullptr;
    });
    if (theWidget) {
        delete theWidget;
        theWidget = nullptr;
    }
    // `launch` closes here without writing.
}
