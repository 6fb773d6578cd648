// Keyboard handling on the world's globals: the order the play bindings are
// compared in, shields, thrust, single and spread fire, pause and resume, and
// key redefinition.
#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "game/world.h"
#include "support/world_fixture.h"
#include "ui/ui.h"

namespace {

class Keys : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        audioOpen = false;
        keyBindings = {KEY_UP, KEY_LEFT, KEY_RIGHT, KEY_DOWN, KEY_SPACE, KEY_F11};
        dropShield();
        keyInUseSprite->active = false;
    }
    // A key pressed one frame after the last.
    static void press(int key) { nowMs += 20, onKeyPress(key); }
    static int activeShots() {
        return int(std::count_if(shotSprites, shotSprites + SHOT_SLOTS,
                                 [](Sprite* s) { return s->isActive(); }));
    }
    // Every play action that has happened, in the order keys are compared.
    static std::string actions() {
        std::string a;
        if (turningLeft) a += "left ";
        if (turningRight) a += "right ";
        if (thrusting) a += "thrust ";
        if (shieldsUp && shieldSprite->isActive()) a += "shields ";
        if (activeShots()) a += "fire ";
        if (gameState == STATE_PAUSED) a += "pause ";
        return a;
    }
};

TEST_F(Keys, OneKeyOnSeveralBindingsTakesTheFirstThatActs) {
    // Bindings sharing the key (Left Right Thrust Shields Fire Pause), the
    // shield energy, and what the press did. A refused shields press goes on to
    // fire, then to pause.
    const std::tuple<const char*, float, const char*> rows[] = {
        {"LRTSFP", SHIELD_FULL, "left "}, {"RT", SHIELD_FULL, "right "},
        {"TS", SHIELD_FULL, "thrust "},   {"SFP", SHIELD_FULL, "shields "},
        {"S", 277.99f, ""},               {"S", 278.0f, "shields "},
        {"SFP", 277.99f, "fire "},        {"SP", 277.99f, "pause "}};
    for (auto [shared, energy, want] : rows) {
        SetUp();
        shieldEnergy = energy;
        int32_t* bound[] = {&keyBindings.left,    &keyBindings.right, &keyBindings.thrust,
                            &keyBindings.shields, &keyBindings.fire,  &keyBindings.pause};
        for (const char* c = shared; *c; ++c) *bound[std::string("LRTSFP").find(*c)] = 'K';
        press('K');
        EXPECT_EQ(actions(), want) << shared << " at energy " << energy;
    }
}

TEST_F(Keys, ThrustAddsOneImpulsePerPressAndIsCutBackPastTheLimit) {
    for (int i = 1; i <= 12; i++) {
        press(KEY_UP);
        EXPECT_NEAR(shipVelocityY, -1.5f * float(std::min(i, 10)), 1e-4f) << "press " << i;
        onKeyRelease(KEY_UP);
    }
    EXPECT_TRUE(!thrusting && played(EFFECT_THRUST));
    shipDirection = 4;  // to the right
    shipVelocityX = shipVelocityY = 0.0f;
    press(KEY_UP);
    EXPECT_FLOAT_EQ(shipVelocityX, 1.5f);
    shipDirection = 0;
    // A speed of exactly 16 is kept; a little more is cut back to 15.
    for (auto [before, after] : {std::pair{-14.5f, -16.0f}, {-14.55f, -15.0f}}) {
        shipVelocityX = 0.0f, shipVelocityY = before;
        press(KEY_UP);
        EXPECT_FLOAT_EQ(shipVelocityY, after) << before;
    }
    EXPECT_EQ(approxLength(-4.0f, 3.0f), 5.125f); // the limit is on this estimate
}

TEST_F(Keys, FireTakesAFreeSlotAndSpreadNeedsEverySlotFree) {
    shotSlots = 3;
    shipDirection = 4;
    place(ship(), 100.0f, 150.0f);
    for (int i = 0; i < 3; i++) press(KEY_SPACE);
    forgetEffects();
    press(KEY_SPACE); // every slot busy: no shot, no sound
    EXPECT_TRUE(activeShots() == 3 && !played(EFFECT_SHOT));
    EXPECT_EQ(std::pair(shotSprites[2]->getX(), shotSprites[2]->getVy()),
              std::pair(112.0f, float(headingY[4]) * shotSpeed));

    spreadShot = true;
    shotSprites[0]->setActive(false);
    shotSprites[1]->setActive(false); // the last slot still flies
    press(KEY_SPACE);
    EXPECT_EQ(activeShots(), 1);
    shotSprites[2]->setActive(false);
    shipDirection = 0; // the volley fans out clockwise from heading 15
    press(KEY_SPACE);
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(shotSprites[i]->getVx(), float(headingX[(15 + i) % 16]) * shotSpeed) << i;
}

TEST_F(Keys, EachPowerUpChangesTheShotsUntilItEnds) {
    // Kind; shots in flight after six presses, the first one's speed (tenths
    // of a pixel per frame), the range, whether shots bounce or pierce.
    const std::tuple<int, int, long, float, bool, bool> rows[] = {
        {POWER_UP_BOUNCING, 1, 60, 260.0f, true, false}, {POWER_UP_SPREAD, 3, 100, 160.0f, false, false},
        {POWER_UP_FAST, 1, 120, 160.0f, false, false},   {POWER_UP_FIVE_SHOTS, 5, 60, 160.0f, false, false},
        {POWER_UP_PIERCING, 1, 60, 160.0f, false, true}};
    for (auto [kind, shots, speed, range, bounce, pierce] : rows) {
        for (int ended = 0; ended < 2; ++ended) {
            SetUp();
            grantPowerUp(kind);
            if (ended) endPowerUp(kind);
            for (int i = 0; i < 6; i++) press(KEY_SPACE);
            const Sprite* shot = shotSprites[0];
            EXPECT_EQ(std::tuple(activeShots(), std::lround(10 * std::hypot(shot->vx, shot->vy)),
                                 shotRange, shot->flags == SPRITE_BOUNCE, piercingShots),
                      ended ? std::tuple(1, 60L, 160.0f, false, false)
                            : std::tuple(shots, speed, range, bounce, pierce))
                << kind << (ended ? " ended" : "");
        }
    }
}

TEST_F(Keys, OnceTheShipIsLostOnlyThePauseKeyActsAndTheExitScreenAnyKeyEndsIt) {
    gameState = STATE_SHIP_LOST;
    for (int k : {KEY_LEFT, KEY_UP, KEY_SPACE}) press(k);
    EXPECT_EQ(actions(), "");
    press(KEY_F11);
    EXPECT_EQ(gameState, STATE_PAUSED);

    // On the exit screen any key cuts the countdown short.
    gameState = STATE_EXITING;
    exitCountdown = 100;
    press('X');
    EXPECT_EQ(exitCountdown, 1);
}

TEST_F(Keys, RedefinitionRefusesKeysGivenBeforeAndReturnsToThePauseScreen) {
    gameState = STATE_SHIP_LOST;
    press(KEY_F11);
    startKeyRedefinition();
    // Each key offered and whether it is refused; a refused key is asked for again.
    const std::pair<int, bool> offers[] = {{'A', false},    {'A', true},         {KEY_LEFT, false},
                                           {'W', false},    {KEY_ESCAPE, false}, {KEY_F11, false},
                                           {KEY_F11, true}, {'P', false}};
    int taken = 0;
    for (auto [key, refused] : offers) {
        ASSERT_EQ(gameState, STATE_REDEFINE_KEYS);
        onKeyPress(key);  // all within one millisecond, as keys queued during a frame arrive
        taken += !refused;
        EXPECT_EQ(keyInUseSprite->isActive(), refused) << key;
        EXPECT_EQ(keyPromptSprite->getFrame(), std::min(taken, 5)) << key;
    }
    EXPECT_EQ(gameState, STATE_PAUSED);
    const KeyBindings& k = keyBindings;
    EXPECT_EQ((std::vector<int>{k.left, k.right, k.thrust, k.fire, k.shields, k.pause}),
              (std::vector<int>{'A', KEY_LEFT, 'W', KEY_ESCAPE, KEY_F11, 'P'}));
    press(KEY_F11);  // no longer the pause key: resumes where the game was paused
    EXPECT_EQ(gameState, STATE_SHIP_LOST);

    // A new redefinition asks for the first key again and forgets the keys of the last one.
    startKeyRedefinition();
    press('A');
    EXPECT_FALSE(keyInUseSprite->isActive());
    EXPECT_EQ(keyPromptSprite->getFrame(), 1);
}

// A pad reading: the buttons held and the stick.
PadState pad(uint32_t buttons, int x = 0, int y = 0) {
    return {buttons, int16_t(x), int16_t(y)};
}
constexpr uint32_t SOUTH = padBit(PAD_SOUTH), EAST = padBit(PAD_EAST), WEST = padBit(PAD_WEST),
                   NORTH = padBit(PAD_NORTH), BACK = padBit(PAD_BACK), START = padBit(PAD_START),
                   UP = padBit(PAD_DPAD_UP), DOWN = padBit(PAD_DPAD_DOWN);

TEST_F(Keys, PadControlsPressTheirKeysOncePerPush) {
    forgetPadControls();
    applyPadState(pad(0));
    shieldEnergy = 0;
    const std::tuple<PadState, const char*, int> steps[] = {
        {pad(0, -16384), "left ", 0},    // pushed half way
        {pad(0, 16384), "right ", 0},    // swung across in one reading
        {pad(0, 12288), "right ", 0},    // not yet let go
        {pad(0, 0, -30000), "thrust ", 0},
        {pad(SOUTH | UP, 0, -30000), "thrust ", 0},  // still the one push
        {pad(0), "", 0},
        {pad(WEST), "fire ", 1},
        {pad(WEST | EAST), "fire ", 1},
        {pad(DOWN), "fire ", 1},  // shields refused: not full
        {pad(START), "fire pause ", 1},
        {pad(0), "fire pause ", 1},
        {pad(SOUTH), "fire ", 1},       // any other control resumes, and only that
    };
    for (const auto& [reading, want, shots] : steps) {
        applyPadState(reading);
        EXPECT_EQ(actions(), want) << actions();
        EXPECT_EQ(activeShots(), shots) << want;
    }
    EXPECT_FLOAT_EQ(shipVelocityY, -1.5f);
    shieldEnergy = SHIELD_FULL;  // the north button raises a full shield
    applyPadState(pad(NORTH));
    EXPECT_TRUE(shieldsUp);
    applyPadState(pad(0));
    applyPadState(pad(UP));
    EXPECT_FLOAT_EQ(shipVelocityY, -3.0f);
    applyPadState(pad(0));
    gameState = STATE_TITLE;
    applyPadState(pad(START));
    EXPECT_EQ(gameState, STATE_MENU);
    applyPadState(pad(BACK));
    EXPECT_EQ(gameState, STATE_EXITING);

    // The redefinition screen takes keys only; a control held there stays
    // quiet after it, even when let go (the left key held on the keyboard
    // keeps turning).
    gameState = STATE_MENU;
    startKeyRedefinition();
    applyPadState(pad(WEST, -20000));
    EXPECT_EQ(keyBindings.left, KEY_LEFT);
    gameState = STATE_PLAYING;
    turningLeft = true;
    applyPadState(pad(0));
    EXPECT_TRUE(activeShots() == 1 && turningLeft);

    // After a focus change the pad starts over: a control held across it
    // neither presses its key again nor lets go of the key it pressed before.
    static std::string sent;
    const PadKeySink record = [](int key, bool press) {
        sent += (press ? "+" : "-") + std::to_string(key) + " ";
    };
    keyBindings.fire = KEY_SPACE;
    EXPECT_TRUE(applyPadState(pad(WEST), record));
    EXPECT_FALSE(applyPadState(pad(WEST), record));  // nothing new
    EXPECT_TRUE(applyPadState(pad(0), record));
    applyPadState(pad(WEST), record);
    EXPECT_EQ(sent, "+32 -32 +32 ");
    forgetPadControls();
    EXPECT_FALSE(applyPadState(pad(WEST, -20000), record));
    applyPadState(pad(WEST, -20000), record);
    applyPadState(pad(0), record);
    EXPECT_EQ(sent, "+32 -32 +32 ");
}

} // namespace
