// Writes enlarged pictures of the composed screens (title, menu, pause, a
// busy play frame, key redefinition and the farewell screen) built with the
// game's own drawing code from the generated data, so the art can be judged
// without starting the game.
//
// usage: corvus_preview <data directory> <output directory>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/app.h"
#include "audio/audio.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "platform/image_save.h"
#include "ui/ui.h"

namespace {

constexpr int PREVIEW_SCALE = 3;
std::string outDir;

bool write(const char* name) {
    const std::string path = outDir + "/" + name;
    if (!savePng565(path.c_str(), SCREEN_WIDTH, SCREEN_HEIGHT, backBuffer, PREVIEW_SCALE)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

void place(Sprite* s, float x, float y, int frame) {
    s->setX(x);
    s->setY(y);
    s->setFrame(frame);
    s->setActive(true);
}

// A level in full swing: rocks of every size, the ship shielded and firing,
// a rock bursting, the carrier passing and the boss roaming.
void composePlay() {
    newGame();
    level = 6;
    setupLevel();
    gameState = STATE_PLAYING;
    score = 18450;
    highScore = 42100;
    lives = 3;
    livesDigit->setFrame(lives);
    levelBannerTimer = 0;
    for (Sprite* s : bigRocks) s->setActive(false);
    for (Sprite* s : mediumRocks) s->setActive(false);
    for (Sprite* s : smallRocks) s->setActive(false);
    place(bigRocks[0], -20, 44, 0);
    place(bigRocks[2], 120, 214, 2);
    place(mediumRocks[0], 30, 150, 1);
    place(mediumRocks[1], 188, 120, 3);
    place(smallRocks[0], 70, 250, 0);
    place(smallRocks[1], 150, 178, 1);
    place(smallRocks[2], 20, 210, 1);
    place(mediumRockExplosions[0], 150, 28, 2);
    place(bonusCarrier, 12, 104, 2);
    place(bossShip, 150, 60, 1);
    place(bossShot, 170, 128, 2);
    for (Sprite* s : shipSprites) s->setActive(false);
    shipDirection = 14;
    place(shipSprites[shipDirection], 104, 160, 3);
    place(shieldSprite, 104, 160, 1);
    place(shotSprites[0], 88, 140, 0);
    place(shotSprites[1], 66, 122, 2);
    place(shotSprites[2], 44, 104, 1);
    place(powerUpIcon, 0, 290, 2);
    powerUpIconBlink = 14;
    shieldsUp = true;
    shieldEnergy = 200.0f;
    std::memcpy(backBuffer, backgroundPixels, SCREEN_BYTES);
    drawWorld();
}

void composeOptions(GameState state, const uint16_t* behind) {
    gameState = state;
    dimBuffer(backBuffer, behind, DIM_FACTOR);
    blitPicture(menuPicture, 0, 80, menuPixels, backBuffer);
    blitPicture(bannerPicture, 0, 20, bannerPixels, backBuffer);
    drawOptions();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <data directory> <output directory>\n", argv[0]);
        return 2;
    }
    outDir = argv[2];
    for (int i = 1; i <= 9; ++i) std::snprintf(picturePaths[i], PATH_SIZE, "%s/pp%d", argv[1], i);
    allocateBuffers();
    loadAllPictures();
    createSprites();
    buildDirectionTables();
    sfxVolume = 170;
    musicVolume = 128;

    bool ok = true;
    std::memcpy(backBuffer, titlePixels, SCREEN_BYTES);
    blitPicture(bannerPicture, 0, 20, bannerPixels, backBuffer);
    ok = write("preview-title.png") && ok;

    composeOptions(STATE_MENU, titlePixels);
    ok = write("preview-menu.png") && ok;

    composePlay();
    ok = write("preview-play.png") && ok;

    std::memcpy(pauseSnapshot, backBuffer, SCREEN_BYTES);
    composeOptions(STATE_PAUSED, pauseSnapshot);
    ok = write("preview-pause.png") && ok;

    keyPromptSprite->setFrame(2);
    keyInUseSprite->setActive(true);
    composeOptions(STATE_REDEFINE_KEYS, titlePixels);
    ok = write("preview-keys.png") && ok;

    dimBuffer(backBuffer, titlePixels, DIM_FACTOR);
    blitPicture(exitPicture, 0, 100, exitPixels, backBuffer);
    blitPicture(bannerPicture, 0, 20, bannerPixels, backBuffer);
    ok = write("preview-exit.png") && ok;
    return ok ? 0 : 1;
}
