// The pen on the menu and pause screens (hit areas, slider values, the drag
// band, quitting a game) and the options panel drawn behind it.
#include <gtest/gtest.h>

#include <cstring>

#include "app/app.h"
#include "audio/audio.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "ui/ui.h"

namespace {

constexpr uint16_t KNOB = 0x8235;
constexpr uint16_t TRACK[6] = {0x0C21, 0x14C1, 0x1662, 0x1662, 0x14C1, 0x0C21};
constexpr uint16_t BLANK = 0x0001;
constexpr int ITEM_STRIP_ROWS = 25;       // 24-row item plus the separating row

class Menus : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static bool made = false;
        if (!made) {
            allocateBuffers();
            createSprites();
            buildDirectionTables();
            made = true;
        }
        // Recognisable sheets: every item strip is filled with its own
        // colour, the text sheet with a value unique to each pixel.
        for (int y = 0; y < 200; y++)
            for (int x = 0; x < 142; x++)
                menuItemPixels[y * 142 + x] = uint16_t(0x100 + y / ITEM_STRIP_ROWS);
        for (int i = 0; i < 500 * 300; i++)
            textSheetPixels[i] = uint16_t(1 + i % 0xFFFE);
    }

    void SetUp() override {
        widgetWidth = SCREEN_WIDTH;
        widgetHeight = SCREEN_HEIGHT;
        audioOpen = false;
        gameState = STATE_MENU;
        resumeState = STATE_PLAYING;
        sfxVolume = 128;
        musicVolume = 128;
        exitCountdown = 100;
        for (int n = 0; n < EFFECT_COUNT; n++)
            effectChannels[n] = -1;
        keyInUseSprite->setActive(false);
        for (int i = 0; i < SCREEN_PIXELS; i++)
            backBuffer[i] = BLANK;
    }

    static uint16_t px(int x, int y) { return backBuffer[y * SCREEN_WIDTH + x]; }
    static uint16_t item(int i) { return uint16_t(0x100 + i); }
    static uint16_t text(int sheetX, int sheetY) { return textSheetPixels[sheetY * 500 + sheetX]; }

    // Pauses a running game the way a tap on the play field does.
    static void pausedGame(GameState from) {
        gameState = from;
        onPenPress(120, 60);
        ASSERT_EQ(gameState, STATE_PAUSED);
    }
};

TEST_F(Menus, SliderValueFollowsThePenColumn) {
    const int xs[] = {88, 97, 98, 99, 160, 225, 226, 227, 240};
    const int want[] = {0, 0, 0, 2, 124, 254, 255, 255, 255};
    for (int i = 0; i < 9; i++) {
        sfxVolume = 77;
        musicVolume = 77;
        handleMenuPen(STATE_MENU, xs[i], 130);
        EXPECT_EQ(sfxVolume, want[i]) << "effects at x=" << xs[i];
        handleMenuPen(STATE_PAUSED, xs[i], 150);
        EXPECT_EQ(musicVolume, want[i]) << "music at x=" << xs[i];
    }
    // Left of the pen area nothing changes.
    sfxVolume = 77;
    handleMenuPen(STATE_MENU, 87, 130);
    EXPECT_EQ(sfxVolume, 77);
}

TEST_F(Menus, SliderRowsIncludeTheirEdgesOnly) {
    for (int y : {126, 140, 141, 155}) {
        handleMenuPen(STATE_MENU, 150, y);
        EXPECT_EQ(sfxVolume, 128) << y;
        EXPECT_EQ(musicVolume, 128) << y;
    }
    handleMenuPen(STATE_MENU, 150, 127);
    EXPECT_EQ(sfxVolume, 104);
    handleMenuPen(STATE_MENU, 152, 139);
    EXPECT_EQ(sfxVolume, 108);
    handleMenuPen(STATE_MENU, 150, 142);
    EXPECT_EQ(musicVolume, 104);
    handleMenuPen(STATE_MENU, 152, 154);
    EXPECT_EQ(musicVolume, 108);
    // The effect slider sounds a sample; the music slider does not.
    EXPECT_EQ(effectChannels[EFFECT_SHOT], 0);
    EXPECT_EQ(gameState, STATE_MENU);
}

TEST_F(Menus, OnlyTheUpperEffectSliderFollowsADrag) {
    onPenMove(150, 135);
    EXPECT_EQ(sfxVolume, 104);
    onPenMove(226, 130);
    EXPECT_EQ(sfxVolume, 255);
    onPenMove(227, 130);                      // right of the band
    onPenMove(97, 130);                       // left of the band
    onPenMove(150, 136);                      // below the band, still on the slider
    EXPECT_EQ(sfxVolume, 255);
    onPenMove(150, 145);                      // the music slider ignores drags
    EXPECT_EQ(musicVolume, 128);
    onPenMove(120, 300);                      // and so do the items
    EXPECT_EQ(gameState, STATE_MENU);

    gameState = STATE_PLAYING;                // no drags outside the menus
    onPenMove(150, 130);
    EXPECT_EQ(sfxVolume, 255);
    EXPECT_EQ(gameState, STATE_PLAYING);
}

TEST_F(Menus, MenuItemsStartAGameOrLeave) {
    for (auto [x, y] : {std::pair{9, 300}, {141, 300}, {120, 279}, {169, 300}, {231, 300}}) {
        handleMenuPen(STATE_MENU, x, y);
        EXPECT_EQ(gameState, STATE_MENU) << x << "," << y;
    }
    onPenPress(230, 320);
    EXPECT_EQ(gameState, STATE_EXITING);
    onPenPress(10, 10);
    EXPECT_EQ(exitCountdown, 1);

    gameState = STATE_MENU;
    lives = -2;
    onPenPress(140, 280);
    EXPECT_EQ(gameState, STATE_PLAYING);
    EXPECT_EQ(level, 1);
    EXPECT_GE(lives, 0);
}

TEST_F(Menus, TapDuringPlayPausesAndResumeReturnsToThatState) {
    for (int i = 0; i < SCREEN_PIXELS; i++)
        backBuffer[i] = uint16_t(3 * i);
    pausedGame(STATE_LEVEL_CLEARED);
    EXPECT_EQ(resumeState, STATE_LEVEL_CLEARED);
    EXPECT_EQ(std::memcmp(pauseSnapshot, backBuffer, SCREEN_BYTES), 0);

    // A tap outside every area does nothing, also on the menu-only items.
    onPenPress(120, 60);
    onPenPress(155, 300);
    EXPECT_EQ(gameState, STATE_PAUSED);

    onPenPress(10, 320);
    EXPECT_EQ(gameState, STATE_LEVEL_CLEARED);
}

TEST_F(Menus, QuitFromThePauseScreenBlowsUpTheShip) {
    newGame();
    setupLevel();
    Sprite* ship = shipSprites[shipDirection];
    ship->setActive(true);
    ship->setX(100.0f);
    ship->setY(120.0f);
    ship->setVx(0.5f);
    ship->setVy(-0.25f);
    shieldSprite->setActive(true);
    pausedGame(STATE_PLAYING);

    onPenPress(170, 280);
    EXPECT_EQ(gameState, STATE_SHIP_LOST);
    EXPECT_TRUE(gameAbandoned);
    EXPECT_EQ(lives, -2);
    EXPECT_EQ(respawnDelay, 0);
    EXPECT_FALSE(ship->isActive());
    EXPECT_FALSE(shieldSprite->isActive());
    EXPECT_FALSE(levelDigits[0]->isActive() || levelDigits[1]->isActive());
    EXPECT_FALSE(levelLabel->isActive());
    EXPECT_EQ(effectChannels[EFFECT_SHIP_LOST], 0);
    EXPECT_TRUE(shipExplosion->isActive());
    EXPECT_FLOAT_EQ(shipExplosion->getX(), 84.0f);
    EXPECT_FLOAT_EQ(shipExplosion->getY(), 104.0f);
    EXPECT_FLOAT_EQ(shipExplosion->getVx(), 0.5f);
    EXPECT_FLOAT_EQ(shipExplosion->getVy(), -0.25f);

    // The next world step finds no ship and ends the game.
    updateGame();
    EXPECT_EQ(gameState, STATE_GAME_OVER);
}

TEST_F(Menus, PenIsIgnoredWhereItHasNoUse) {
    for (GameState s : {STATE_SHIP_LOST, STATE_GAME_OVER, STATE_REDEFINE_KEYS}) {
        gameState = s;
        onPenPress(10, 280);
        onPenPress(150, 130);
        onPenPress(60, 240);
        EXPECT_EQ(gameState, s);
        EXPECT_EQ(sfxVolume, 128);
    }
    gameState = STATE_TITLE;
    onPenPress(0, 0);
    EXPECT_EQ(gameState, STATE_MENU);
}

TEST_F(Menus, RedefineItemEntersTheRedefinitionScreen) {
    for (auto [x, y] : {std::pair{48, 240}, {192, 240}, {100, 229}, {100, 258}}) {
        handleMenuPen(STATE_MENU, x, y);
        EXPECT_EQ(gameState, STATE_MENU) << x << "," << y;
    }
    capturedKeys[4] = 'X';
    capturedKeys[5] = 'Y';
    keyPromptSprite->setFrame(3);
    keyPromptSprite->setActive(false);
    pausedGame(STATE_NEXT_LEVEL);
    onPenPress(191, 257);
    EXPECT_EQ(gameState, STATE_REDEFINE_KEYS);
    EXPECT_EQ(resumeState, STATE_PAUSED);
    EXPECT_EQ(keyPromptSprite->getFrame(), 0);
    EXPECT_TRUE(keyPromptSprite->isActive());
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(capturedKeys[i], -1);
    EXPECT_EQ(capturedKeys[5], 'Y');
}

TEST_F(Menus, KnobsStandAtHalfTheVolume) {
    const int volumes[] = {0, 128, 255, 3};
    const int columns[] = {97, 161, 224, 98};
    for (int i = 0; i < 4; i++) {
        SetUp();
        sfxVolume = volumes[i];
        musicVolume = volumes[(i + 1) % 4];
        drawOptions();
        int c = columns[i];
        for (int y = 127; y <= 136; y++)
            EXPECT_EQ(px(c, y), KNOB) << "effect knob column " << c << " row " << y;
        for (int y : {127, 128, 135, 136}) {
            EXPECT_EQ(px(c - 3, y), KNOB);
            EXPECT_EQ(px(c + 3, y), KNOB);
            EXPECT_EQ(px(c - 4, y), BLANK);
            EXPECT_EQ(px(c + 4, y), BLANK);
        }
        for (int y = 129; y <= 134; y++) {
            EXPECT_EQ(px(c - 1, y), TRACK[y - 129]);
            EXPECT_EQ(px(c + 1, y), TRACK[y - 129]);
        }
        EXPECT_EQ(px(c, 126), BLANK);
        EXPECT_EQ(px(c, 137), BLANK);
        int m = columns[(i + 1) % 4];
        for (int y = 142; y <= 151; y++)
            EXPECT_EQ(px(m, y), KNOB) << "music knob column " << m << " row " << y;
        EXPECT_EQ(px(m, 141), BLANK);
        EXPECT_EQ(px(m, 152), BLANK);
    }
}

TEST_F(Menus, TracksRunFrom92To229) {
    sfxVolume = musicVolume = 128;
    drawOptions();
    for (int r = 0; r < 6; r++) {
        for (int y : {129 + r, 144 + r}) {
            EXPECT_EQ(px(92, y), TRACK[r]);
            EXPECT_EQ(px(229, y), TRACK[r]);
            EXPECT_EQ(px(91, y), BLANK);
            EXPECT_EQ(px(230, y), BLANK);
        }
    }
    EXPECT_EQ(px(92, 128), BLANK);
    EXPECT_EQ(px(92, 135), BLANK);
    EXPECT_EQ(px(92, 143), BLANK);
    EXPECT_EQ(px(92, 150), BLANK);
}

TEST_F(Menus, TrackNameAlwaysShowsTheSecondTrack) {
    musicTrack = 0;
    trackNameSprite->setFrame(1);
    drawOptions();
    EXPECT_EQ(musicTrack, 2);
    EXPECT_EQ(trackNameSprite->getFrame(), 2);
    // Strip 6 of 33-row strips, frame 2 of 166-column frames.
    EXPECT_EQ(px(74, 160), text(2 * 166, 6 * 33));
    EXPECT_EQ(px(74 + 164, 160 + 31), text(2 * 166 + 164, 6 * 33 + 31));
}

TEST_F(Menus, EachScreenShowsItsOwnItems) {
    gameState = STATE_MENU;
    drawOptions();
    EXPECT_EQ(px(60, 200), item(0));
    EXPECT_EQ(px(20, 290), item(1));          // new game
    EXPECT_EQ(px(100, 290), item(3));         // exit, drawn over new game
    EXPECT_EQ(px(60, 240), item(5));
    EXPECT_EQ(px(60, 215), item(0));          // no heading on the menu

    SetUp();
    gameState = STATE_PAUSED;
    drawOptions();
    EXPECT_EQ(px(60, 200), item(0));
    EXPECT_EQ(px(20, 290), item(2));          // resume
    EXPECT_EQ(px(100, 290), item(4));         // quit
    EXPECT_EQ(px(60, 240), item(5));

    SetUp();
    gameState = STATE_MENU;
    startKeyRedefinition();
    keyPromptSprite->setFrame(4);
    drawOptions();
    EXPECT_EQ(px(60, 215), item(6));          // the heading
    EXPECT_EQ(px(60, 200), BLANK);            // no item 0
    EXPECT_EQ(px(20, 290), BLANK);            // no lower items
    EXPECT_EQ(px(75, 240), text(4 * 83, 14 * 17));  // prompt for the shields key
    EXPECT_EQ(px(20, 270), BLANK);            // no warning yet
    EXPECT_EQ(px(100, 131), TRACK[2]);        // the sliders stay

    SetUp();
    gameState = STATE_REDEFINE_KEYS;
    keyInUseSprite->setActive(true);
    drawOptions();
    EXPECT_EQ(px(20, 270), text(keyInUseSprite->getFrame() * 201, 3 * 33 + 10));
}

} // namespace
