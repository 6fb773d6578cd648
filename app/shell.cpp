// Program entry and the one-time initialisation before the game window is
// shown: launch setting, the window, its caption, the data paths and the saved
// settings.
#include <cstdio>
#include <cstring>
#include <new>

#include "app/app.h"
#include "app/replay.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "platform/config.h"
#include "settings/settings.h"

// Whole run.
GameWidget* theWidget = nullptr;
char dataDirectory[PATH_SIZE] = {};
char picturePaths[10][PATH_SIZE] = {};
bool frameInProgress = false;
PadReader padReader = nullptr;
int64_t randomSeedOverride = -1;
uint32_t startSeed = 0;

namespace {

const char* const CAPTION = "CorvusRaiders";
const char* const DATA_SUBDIRECTORY = "lib/corvusraiders_demo";
const char* const PICTURE_NAMES[10] = {
    nullptr, "/pp1", "/pp2", "/pp3", "/pp4", "/pp5", "/pp6", "/pp7", "/pp8", "/pp9",
};

// `out` = the data directory followed by `name`, cut to fit `size` bytes.
void dataPath(char* out, size_t size, const char* name) {
    const size_t dirLength = std::strlen(dataDirectory);
    const size_t nameLength = std::strlen(name);
    size_t n = 0;
    for (size_t i = 0; i < dirLength && n + 1 < size; ++i) out[n++] = dataDirectory[i];
    for (size_t i = 0; i < nameLength && n + 1 < size; ++i) out[n++] = name[i];
    out[n] = '\0';
}

// Empties the picture records and every sprite slot (without freeing: at
// start-up they are all empty already).
void clearSlots() {
    backgroundPicture = titlePicture = exitPicture = menuItemSheet = menuPicture = nullptr;
    textSheet = bannerPicture = rockSheet = by64Sheet = nullptr;
    for (auto& s : shipSprites) s = nullptr;
    bonusCarrier = powerUpIcon = bossShip = bossShot = nullptr;
    for (auto& s : shotSprites) s = nullptr;
    for (auto& s : scoreDigits) s = nullptr;
    for (auto& s : highScoreDigits) s = nullptr;
    for (auto& s : menuItemSprites) s = nullptr;
    for (auto& s : levelDigits) s = nullptr;
    levelLabel = messageSprite = keyPromptSprite = keyInUseSprite = nullptr;
    livesDigit = livesIcon = nullptr;
    shipExplosion = bossExplosion = driftingScenery = carrierExplosion = nullptr;
    bossHitFlash = shieldSprite = bossWarp = trackNameSprite = nullptr;
    for (auto& s : bigRocks) s = nullptr;
    for (auto& s : bigRockExplosions) s = nullptr;
    for (auto& s : mediumRocks) s = nullptr;
    for (auto& s : mediumRockExplosions) s = nullptr;
    for (auto& s : smallRocks) s = nullptr;
}

} // namespace

bool initApplication() {
    // Each start is a fresh run: no frame under way, and the game clock
    // starts again at its next reading.
    frameInProgress = false;
    clockBase = 0;
    setClockReader(seamClock);
    clearSlots();

    Config launch("Kelpworks", Config::User);
    launch.setGroup("corvusraiders");
    if (launch.readNumEntry("GrabKeys", 1) != 0)
        PlatformApplication::grabKeyboard();

    theWidget = new (std::nothrow) GameWidget();
    if (!theWidget)
        return false;

    theWidget->setCaption(CAPTION);

    // The installation directory ends with a slash; no separator is added.
    const char* root = qpeDir();
    if (root && std::strlen(root) + std::strlen(DATA_SUBDIRECTORY) < sizeof dataDirectory) {
        std::strcpy(dataDirectory, root);
        std::strcat(dataDirectory, DATA_SUBDIRECTORY);
    }

    for (int k = 1; k <= 9; ++k)
        dataPath(picturePaths[k], PATH_SIZE, PICTURE_NAMES[k]);

    loadSettings();
    return true;  // `launch` closes without writing
}

int corvusMain(int argc, char** argv) {
    const CommandLine line = parseCommandLine(argc, argv);
    if (line.action != CommandLine::PLAY && line.action != CommandLine::REPLAY)
        return answerCommandLine(line);
    setHostLaunch(line.display);
    if (line.action == CommandLine::REPLAY)
        return runReplay(line.replayFile, line.verify, argc, argv);

    // Before any thread of the windowing system or the sound library exists.
    startKeeper();
    // Every argument has been taken; the windowing system sees none of them.
    int platformArgc = argc > 0 ? 1 : 0;
    PlatformApplication app(platformArgc, argv);
    if (!initApplication()) {
        // Without its window the game cannot run at all; unlike the set-up
        // failures (which the player has seen in a box) this ends quietly with
        // a failure status so that a launcher notices.
        std::fprintf(stderr, "%s: the game window could not be created\n", CAPTION);
        return 1;
    }
    GameWidget::instance->start();
    app.exec();
    shutdown();
    return 0;
}
