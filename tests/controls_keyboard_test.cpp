// Keyboard handling on the world's globals: the order bindings are compared
// in, thrust and its speed limit, shields, single and spread fire, pause and
// resume, the menu and exit keys, releases, and key redefinition.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/app.h"
#include "audio/audio.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "platform/config.h"
#include "platform/platform.h"
#include "ui/ui.h"

namespace {

// Every read of the clock moves it on, so time-based animation steps always
// find time has passed.
int64_t steppingClock() {
    static int64_t now = 5000000;
    return now += 7;
}

class Keyboard : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static bool made = false;
        if (!made) {
            allocateBuffers();
            createSprites();
            buildDirectionTables();
            made = true;
        }
        setTimeSource(steppingClock);
        gameClock();   // the clock reads 0 at its first use
        static std::string home = std::filesystem::temp_directory_path().string() +
                                  "/corvus_keys_" + std::to_string(getpid());
        setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    }

    void SetUp() override {
        widgetWidth = SCREEN_WIDTH;
        widgetHeight = SCREEN_HEIGHT;
        audioOpen = false;
        keyBindings = {KEY_UP, KEY_LEFT, KEY_RIGHT, KEY_DOWN, KEY_SPACE, KEY_F11};
        gameState = STATE_PLAYING;
        resumeState = STATE_PLAYING;
        shipDirection = 0;
        shipVelocityX = shipVelocityY = 0.0f;
        turningLeft = turningRight = thrusting = false;
        turnTimer = 0;
        shieldsUp = false;
        shieldEnergy = SHIELD_FULL - 1.0f;
        shieldSprite->setActive(false);
        shotSlots = 1;
        spreadShot = false;
        shotSpeed = 6.0f;
        for (int i = 0; i < SHOT_SLOTS; i++) {
            shotSprites[i]->setActive(false);
            shotDistance[i] = 99.0f;
        }
        for (int i = 0; i < SHIP_HEADINGS; i++) {
            shipSprites[i]->setX(100.0f);
            shipSprites[i]->setY(150.0f);
        }
        for (int n = 0; n < EFFECT_COUNT; n++)
            effectChannels[n] = -1;
        exitCountdown = 100;
    }

    // Effects leave a mark even with the device closed: the channel entry
    // of an effect that was started becomes 0.
    static bool played(int effect) { return effectChannels[effect] != -1; }
    static int activeShots() {
        int n = 0;
        for (int i = 0; i < SHOT_SLOTS; i++)
            n += shotSprites[i]->isActive();
        return n;
    }
};

TEST_F(Keyboard, BindingsAreComparedLeftRightThrustShieldsFirePause) {
    // One key bound to everything acts as turn left only.
    keyBindings = {0x41, 0x41, 0x41, 0x41, 0x41, 0x41};
    onKeyPress(0x41);
    EXPECT_TRUE(turningLeft);
    EXPECT_FALSE(thrusting);
    EXPECT_EQ(shipVelocityY, 0.0f);
    EXPECT_EQ(activeShots(), 0);
    EXPECT_EQ(gameState, STATE_PLAYING);

    // right before thrust
    SetUp();
    keyBindings.right = keyBindings.thrust = 0x42;
    turningLeft = true;
    onKeyPress(0x42);
    EXPECT_TRUE(turningRight);
    EXPECT_FALSE(turningLeft);
    EXPECT_FALSE(thrusting);

    // thrust before shields
    SetUp();
    shieldEnergy = SHIELD_FULL;
    keyBindings.thrust = keyBindings.shields = 0x43;
    onKeyPress(0x43);
    EXPECT_TRUE(thrusting);
    EXPECT_FALSE(shieldsUp);
}

TEST_F(Keyboard, RefusedShieldsFallThroughToFireAndPause) {
    keyBindings.shields = keyBindings.fire = keyBindings.pause = 0x44;
    shieldEnergy = 277.99f;
    onKeyPress(0x44);
    EXPECT_FALSE(shieldsUp);
    EXPECT_FALSE(shieldSprite->isActive());
    EXPECT_EQ(activeShots(), 1);              // fire took it and ended the handling
    EXPECT_EQ(gameState, STATE_PLAYING);

    SetUp();
    keyBindings.shields = keyBindings.pause = 0x44;
    onKeyPress(0x44);
    EXPECT_EQ(gameState, STATE_PAUSED);

    // Accepted shields end the handling.
    SetUp();
    keyBindings.shields = keyBindings.fire = 0x44;
    shieldEnergy = SHIELD_FULL;
    onKeyPress(0x44);
    EXPECT_TRUE(shieldsUp);
    EXPECT_EQ(activeShots(), 0);
}

TEST_F(Keyboard, ShieldsNeedExactlyFullEnergy) {
    shieldEnergy = 277.99f;
    onKeyPress(KEY_DOWN);
    EXPECT_FALSE(shieldsUp);
    EXPECT_FALSE(shieldSprite->isActive());
    EXPECT_EQ(shieldEnergy, 277.99f);

    shieldEnergy = 278.0f;
    onKeyPress(KEY_DOWN);
    EXPECT_TRUE(shieldsUp);
    EXPECT_TRUE(shieldSprite->isActive());
    // The shield step ran at once: raised shields start draining.
    EXPECT_LT(shieldEnergy, SHIELD_FULL);
}

TEST_F(Keyboard, ThrustGivesOneImpulsePerPressAndIsCutBackToFifteen) {
    const float hx = float(headingX[0]) * 1.5f;
    const float hy = float(headingY[0]) * 1.5f;
    onKeyPress(KEY_UP);
    EXPECT_TRUE(thrusting);
    EXPECT_TRUE(played(EFFECT_THRUST));
    EXPECT_EQ(shipVelocityX, hx);
    EXPECT_EQ(shipVelocityY, hy);
    onKeyRelease(KEY_UP);
    EXPECT_FALSE(thrusting);

    // Ten presses stay under the limit; the eleventh passes 16 and is scaled
    // back to an estimated 15 in the same press.
    float vx = hx, vy = hy;
    for (int i = 1; i < 10; i++) {
        onKeyPress(KEY_UP);
        onKeyRelease(KEY_UP);
        vx += hx;
        vy += hy;
    }
    EXPECT_EQ(shipVelocityX, vx);
    EXPECT_EQ(shipVelocityY, vy);
    onKeyPress(KEY_UP);
    vx += hx;
    vy += hy;
    float len = approxLength(vx, vy);
    ASSERT_GT(len, 16.0f);
    EXPECT_EQ(shipVelocityX, vx * 15.0f / len);
    EXPECT_EQ(shipVelocityY, vy * 15.0f / len);
    EXPECT_NEAR(shipVelocityY, -15.0f, 1e-4f);

    // Diagonal: the limit is on the estimate, not the true length.
    SetUp();
    shipDirection = 2;
    shipVelocityX = 12.0f;
    shipVelocityY = -12.0f;
    onKeyPress(KEY_UP);
    vx = 12.0f + float(headingX[2]) * 1.5f;
    vy = -12.0f + float(headingY[2]) * 1.5f;
    len = approxLength(vx, vy);
    ASSERT_GT(len, 16.0f);
    EXPECT_FLOAT_EQ(shipVelocityX, vx * 15.0f / len);
    EXPECT_FLOAT_EQ(shipVelocityY, vy * 15.0f / len);
    EXPECT_NEAR(approxLength(shipVelocityX, shipVelocityY), 15.0f, 1e-4f);
    EXPECT_EQ(approxLength(-4.0f, 3.0f), 5.125f);   // max + 3/8 of min, no root
}

TEST_F(Keyboard, TurnKeysSetOneFlagAndTheTimer) {
    onKeyPress(KEY_LEFT);
    EXPECT_TRUE(turningLeft);
    EXPECT_EQ(turnTimer, 60);
    onKeyPress(KEY_RIGHT);
    EXPECT_TRUE(turningRight);
    EXPECT_FALSE(turningLeft);
    // A release clears only its own flag, and the first matching binding.
    onKeyRelease(KEY_LEFT);
    EXPECT_TRUE(turningRight);
    keyBindings.thrust = keyBindings.right = 0x50;
    thrusting = true;
    onKeyRelease(0x50);
    EXPECT_FALSE(thrusting);
    EXPECT_TRUE(turningRight);
}

TEST_F(Keyboard, SingleShotTakesTheFirstFreeSlot) {
    shotSlots = 3;
    shotSprites[0]->setActive(true);
    shipDirection = 4;   // pointing right
    onKeyPress(KEY_SPACE);
    EXPECT_TRUE(shotSprites[1]->isActive());
    EXPECT_FALSE(shotSprites[2]->isActive());
    EXPECT_EQ(shotDistance[1], 0.0f);
    EXPECT_EQ(shotDistance[2], 99.0f);
    EXPECT_FLOAT_EQ(shotSprites[1]->getX(), 112.0f);
    EXPECT_FLOAT_EQ(shotSprites[1]->getY(), 162.0f);
    EXPECT_EQ(shotSprites[1]->getVx(), float(headingX[4]) * 6.0f);
    EXPECT_EQ(shotSprites[1]->getVy(), float(headingY[4]) * 6.0f);
    EXPECT_TRUE(played(EFFECT_SHOT));
    onKeyPress(KEY_SPACE);

    // All slots busy: no shot and no sound.
    effectChannels[EFFECT_SHOT] = -1;
    onKeyPress(KEY_SPACE);
    EXPECT_EQ(activeShots(), 3);
    EXPECT_FALSE(played(EFFECT_SHOT));
    // Slots beyond shotSlots are never used.
    EXPECT_FALSE(shotSprites[3]->isActive());
}

TEST_F(Keyboard, SpreadNeedsEverySlotFreeAndFansOutClockwise) {
    shotSlots = 3;
    spreadShot = true;
    shotSprites[1]->setActive(true);
    onKeyPress(KEY_SPACE);
    EXPECT_EQ(activeShots(), 1);
    EXPECT_FALSE(played(EFFECT_SHOT));

    shotSprites[1]->setActive(false);
    shipDirection = 0;   // the volley wraps to heading 15 on its left
    onKeyPress(KEY_SPACE);
    EXPECT_EQ(activeShots(), 3);
    const int headings[3] = {15, 0, 1};
    for (int i = 0; i < 3; i++) {
        EXPECT_FLOAT_EQ(shotSprites[i]->getVx(), float(headingX[headings[i]]) * 6.0f) << i;
        EXPECT_FLOAT_EQ(shotSprites[i]->getVy(), float(headingY[headings[i]]) * 6.0f) << i;
        EXPECT_EQ(shotDistance[i], 0.0f);
    }
}

TEST_F(Keyboard, PauseFreezesTheFrameAndAnyOtherKeyResumes) {
    for (int i = 0; i < SCREEN_PIXELS; i++)
        backBuffer[i] = uint16_t(i * 7);
    std::memset(pauseSnapshot, 0, SCREEN_BYTES);
    gameState = STATE_LEVEL_CLEARED;
    onKeyPress(KEY_F11);
    EXPECT_EQ(gameState, STATE_PAUSED);
    EXPECT_EQ(resumeState, STATE_LEVEL_CLEARED);
    EXPECT_EQ(std::memcmp(pauseSnapshot, backBuffer, SCREEN_BYTES), 0);

    onKeyPress(KEY_F11);                      // the pause key does not resume
    EXPECT_EQ(gameState, STATE_PAUSED);
    onKeyRelease(KEY_F11);

    onKeyPress(KEY_SPACE);                    // resumes and does nothing else
    EXPECT_EQ(gameState, STATE_LEVEL_CLEARED);
    EXPECT_EQ(resumeState, STATE_LEVEL_CLEARED);
    EXPECT_EQ(activeShots(), 0);
}

TEST_F(Keyboard, AfterTheShipIsLostOnlyPauseActs) {
    for (GameState s : {STATE_SHIP_LOST, STATE_GAME_OVER}) {
        SetUp();
        shieldEnergy = SHIELD_FULL;
        gameState = s;
        for (int k : {KEY_LEFT, KEY_RIGHT, KEY_UP, KEY_DOWN, KEY_SPACE})
            onKeyPress(k);
        EXPECT_FALSE(turningLeft || turningRight || thrusting || shieldsUp);
        EXPECT_EQ(activeShots(), 0);
        EXPECT_EQ(gameState, s);
        thrusting = turningLeft = true;
        onKeyRelease(KEY_UP);
        onKeyRelease(KEY_LEFT);
        EXPECT_TRUE(thrusting && turningLeft);
        onKeyPress(KEY_F11);
        EXPECT_EQ(gameState, STATE_PAUSED);
        EXPECT_EQ(resumeState, s);
    }
}

TEST_F(Keyboard, TitleMenuAndExitScreens) {
    gameState = STATE_TITLE;
    onKeyPress(KEY_ESCAPE);
    EXPECT_EQ(gameState, STATE_MENU);
    onKeyPress(KEY_ESCAPE);
    EXPECT_EQ(gameState, STATE_EXITING);
    EXPECT_EQ(exitCountdown, 100);
    onKeyPress(0x51);
    EXPECT_EQ(exitCountdown, 1);

    // In the menu even a bound game key starts a new game, and does nothing
    // else.
    gameState = STATE_MENU;
    onKeyPress(KEY_SPACE);
    EXPECT_EQ(gameState, STATE_PLAYING);
    EXPECT_EQ(level, 1);
    EXPECT_EQ(activeShots(), 0);

    // Releases outside play are ignored.
    gameState = STATE_MENU;
    thrusting = true;
    onKeyRelease(KEY_UP);
    EXPECT_TRUE(thrusting);
}

TEST_F(Keyboard, RedefinitionRefusesDuplicatesAndReturnsToThePauseScreen) {
    gameState = STATE_PAUSED;
    resumeState = STATE_LEVEL_CLEARED;
    startKeyRedefinition();
    ASSERT_EQ(gameState, STATE_REDEFINE_KEYS);
    EXPECT_EQ(resumeState, STATE_PAUSED);
    EXPECT_EQ(keyPromptSprite->getFrame(), 0);

    onKeyPress('A');                          // left
    EXPECT_EQ(keyPromptSprite->getFrame(), 1);
    onKeyPress('A');                          // refused: asked again
    EXPECT_TRUE(keyInUseSprite->isActive());
    EXPECT_EQ(keyPromptSprite->getFrame(), 1);
    EXPECT_EQ(keyBindings.right, KEY_RIGHT);
    onKeyPress(KEY_LEFT);                     // an old binding's key is fine
    EXPECT_FALSE(keyInUseSprite->isActive());
    EXPECT_EQ(keyPromptSprite->getFrame(), 2);
    onKeyPress('W');                          // thrust
    onKeyPress(KEY_ESCAPE);                   // fire: Escape is captured too
    onKeyPress(KEY_F11);                      // shields: so is the pause key
    EXPECT_EQ(gameState, STATE_REDEFINE_KEYS);
    EXPECT_EQ(keyPromptSprite->getFrame(), 5);
    onKeyPress('P');                          // pause: the last one

    EXPECT_EQ(gameState, STATE_PAUSED);
    EXPECT_EQ(resumeState, STATE_PLAYING);
    EXPECT_EQ(keyPromptSprite->getFrame(), 5);
    EXPECT_EQ(keyBindings.left, 'A');
    EXPECT_EQ(keyBindings.right, KEY_LEFT);
    EXPECT_EQ(keyBindings.thrust, 'W');
    EXPECT_EQ(keyBindings.fire, KEY_ESCAPE);
    EXPECT_EQ(keyBindings.shields, KEY_F11);
    EXPECT_EQ(keyBindings.pause, 'P');

    // The settings file holds the new keys.
    std::ifstream in(Config::userDirectory() + "corvusraiders.conf");
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("key_left = 65"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("key_pause = 80"), std::string::npos) << text.str();

    // Resuming now goes to play, whatever was paused.
    onKeyPress('Q');
    EXPECT_EQ(gameState, STATE_PLAYING);
}

TEST_F(Keyboard, TheLastKeyIsComparedWithAllFiveBefore) {
    gameState = STATE_MENU;
    startKeyRedefinition();
    for (int k : {'1', '2', '3', '4', '5'})
        onKeyPress(k);
    ASSERT_EQ(keyPromptSprite->getFrame(), 5);
    onKeyPress('5');
    EXPECT_TRUE(keyInUseSprite->isActive());
    EXPECT_EQ(gameState, STATE_REDEFINE_KEYS);
    onKeyPress('6');
    EXPECT_EQ(gameState, STATE_MENU);

    // A new redefinition forgets the keys of the last one.
    startKeyRedefinition();
    onKeyPress('1');
    onKeyPress('2');
    EXPECT_EQ(keyPromptSprite->getFrame(), 2);
    EXPECT_EQ(capturedKeys[5], '6');
}

} // namespace
