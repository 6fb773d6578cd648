// The application shell: launch setting and paths, resource set-up, the game
// widget's event routing and focus handling, and the game clock.
#include <gtest/gtest.h>

#include <QKeyEvent>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/runner.h"
#include "ui/ui.h"

namespace {

void writeLaunchSetting(const std::string& configHome, const char* value) {
    std::filesystem::create_directories(configHome + "corvusraiders");
    std::ofstream(configHome + "corvusraiders/Kelpworks.conf")
        << "[corvusraiders]\nGrabKeys = " << value << "\n";
}

TEST(Launch, GrabKeysSettingDecidesTheKeyboardGrab) {
    const struct { const char* value; bool grabs; } cases[] = {
        {nullptr, true}, {"0", false}, {"1", true}, {"-3", true},
    };
    const std::string data = makeTestDataRoot();
    for (const auto& c : cases) {
        const std::string home = makeTempDir("config");
        if (c.value)
            writeLaunchSetting(home, c.value);
        const int before = PlatformApplication::keyboardGrabs();
        HeadlessRunner runner(data, 1, home);
        EXPECT_EQ(PlatformApplication::keyboardGrabs() - before, c.grabs ? 1 : 0)
            << (c.value ? c.value : "missing");
    }
}

TEST(Launch, PathsAndCaptionFromTheInstallationDirectory) {
    const std::string data = makeTestDataRoot();
    HeadlessRunner runner(data);
    EXPECT_EQ(std::string(dataDirectory), data + "lib/corvusraiders_demo");
    EXPECT_EQ(std::string(picturePaths[1]), data + "lib/corvusraiders_demo/pp1");
    EXPECT_EQ(std::string(picturePaths[9]), data + "lib/corvusraiders_demo/pp9");
    for (const auto& track : trackPaths)
        EXPECT_EQ(std::string(track), data + "lib/corvusraiders_demo/tinytune.xm");
    EXPECT_STREQ(theWidget->caption(), "CorvusRaiders");
    EXPECT_EQ(GameWidget::instance, theWidget);
}

TEST(Resources, SetUpLeavesTheTitleScreenAndIdleObjects) {
    HeadlessRunner runner;
    EXPECT_EQ(gameState, STATE_TITLE);
    EXPECT_EQ(rocksLeft, 12);
    EXPECT_EQ(nextExtraLifeScore, 25000);
    EXPECT_EQ(livesDigit->getFrame(), lives);
    EXPECT_EQ(widgetWidth, 240);
    EXPECT_EQ(widgetHeight, 320);

    std::vector<Sprite*> all(std::begin(shipSprites), std::end(shipSprites));
    for (Sprite* s : {bonusCarrier, powerUpIcon, bossShip, bossShot, levelLabel, messageSprite,
                      keyPromptSprite, keyInUseSprite, livesDigit, livesIcon, shipExplosion,
                      bossExplosion, driftingScenery, carrierExplosion, bossHitFlash,
                      shieldSprite, bossWarp, trackNameSprite})
        all.push_back(s);
    for (auto* group : {&shotSprites[0], &scoreDigits[0], &highScoreDigits[0],
                        &menuItemSprites[0], &bigRocks[0], &bigRockExplosions[0],
                        &mediumRocks[0], &mediumRockExplosions[0], &smallRocks[0]})
        all.push_back(*group);
    for (Sprite* s : all) {
        ASSERT_NE(s, nullptr);
        EXPECT_FALSE(s->isActive());
    }

    // A few rows of the object table, one per kind of entry.
    EXPECT_EQ(shipSprites[15]->getSheetRow(), 19);
    EXPECT_EQ(shipSprites[0]->getSheetWidth(), 200);
    EXPECT_EQ(shipSprites[0]->getSheetHeight(), 850);
    EXPECT_EQ(bossShip->getFlags(), SPRITE_BOUNCE);
    EXPECT_EQ(bossShip->getFrameDelay(), 20);
    EXPECT_EQ(bossShot->getWidth(), 10);
    EXPECT_EQ(scoreDigits[6]->getX(), 147.0f + 54.0f);
    EXPECT_EQ(highScoreDigits[1]->getX(), 26.0f);
    EXPECT_EQ(scoreDigits[0]->getFrameDelay(), 0);
    EXPECT_EQ(menuItemSprites[5]->getX(), 49.0f);
    EXPECT_EQ(menuItemSprites[5]->getY(), 230.0f);
    EXPECT_EQ(menuItemSprites[5]->getSheetRow(), 5);
    EXPECT_EQ(menuItemSprites[0]->getSheetWidth(), 142);
    EXPECT_EQ(levelDigits[1]->getX(), 170.0f);
    EXPECT_EQ(bigRocks[2]->getSheetRow(), 2);
    EXPECT_EQ(bigRocks[0]->getSheetWidth(), 774);
    EXPECT_EQ(bigRockExplosions[1]->getFlags(), SPRITE_ONE_SHOT);
    EXPECT_EQ(bigRockExplosions[1]->getFrameDelay(), 60);
    EXPECT_EQ(mediumRockExplosions[5]->getSheetRow(), 3);
    EXPECT_EQ(smallRocks[11]->getFrameCount(), 2);
    EXPECT_EQ(driftingScenery->getWidth(), 90);
    EXPECT_EQ(keyInUseSprite->getSheetWidth(), 500);
    EXPECT_EQ(trackNameSprite->getX(), 74.0f);
}

TEST(Resources, DirectionTablesHoldSingleRoundedValues) {
    buildDirectionTables();
    EXPECT_EQ(headingX[4], 1.0);
    EXPECT_NEAR(headingX[0], -0.0000013268, 1e-10);
    EXPECT_EQ(headingY[0], -1.0);
    EXPECT_NEAR(headingX[1], 0.38268191, 1e-8);
    EXPECT_NEAR(headingY[1], -0.92388016, 1e-8);
    EXPECT_NEAR(headingY[4], -0.0000025944, 1e-10);
    EXPECT_NEAR(headingX[8], 0.0000038620, 1e-10);
    EXPECT_NEAR(headingY[12], 0.0000051296, 1e-10);
    EXPECT_EQ(headingX[12], -1.0);
    EXPECT_NEAR(angleX[1], 0.017451065, 1e-9);
    EXPECT_NEAR(angleY[1], -0.99984771, 1e-8);
    EXPECT_EQ(angleX[90], headingX[4]);
    EXPECT_EQ(angleY[180], headingY[8]);
    for (int k = 0; k < 360; ++k) {
        EXPECT_EQ(angleX[k], double(float(angleX[k])));
        EXPECT_EQ(angleY[k], double(float(angleY[k])));
    }
}

TEST(Resources, RepeatedRunsStartFromTheSameRandomSequence) {
    long first, second;
    {
        HeadlessRunner runner(makeTestDataRoot(), 77);
        first = random();
    }
    {
        HeadlessRunner runner(makeTestDataRoot(), 77);
        second = random();
    }
    EXPECT_EQ(first, second);
}

std::vector<std::string> boxes;
void recordBox(bool critical, const char* title, const char* text) {
    boxes.push_back(std::string(critical ? "C " : "W ") + title + ": " + text);
}

TEST(Resources, MissingBackgroundIsShownAndTheGameGoesOn) {
    const std::string data = makeTestDataRoot();
    std::filesystem::remove(data + "lib/corvusraiders_demo/pp1");
    boxes.clear();
    setMessageBoxHook(recordBox);
    {
        HeadlessRunner runner(data);
        runner.frames(1);
        EXPECT_EQ(runner.backPixel(2, 300), testPictureColour(6));
    }
    setMessageBoxHook(nullptr);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes[0], "C CorvusRaiders: Failure to load background image");
    for (const std::string& b : boxes)
        EXPECT_EQ(b.find("Fatal"), std::string::npos) << b;
}

TEST(Resources, EachMissingPictureEndsTheProgramWithItsMessage) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    const struct { int file; const char* message; } cases[] = {
        {6, "Error loading title image"}, {7, "Error loading title image"},
        {8, "Error loading title image"}, {9, "Error loading menu image"},
        {3, "Error loading text image"},  {4, "Error loading text image"},
        {2, "Error loading rock image"},  {5, "Error loading by64 image"},
    };
    for (const auto& c : cases) {
        const std::string data = makeTestDataRoot();
        std::filesystem::remove(data + "lib/corvusraiders_demo/pp" + std::to_string(c.file));
        EXPECT_EXIT({ HeadlessRunner runner(data); _exit(9); }, ::testing::ExitedWithCode(0),
                    std::string("Fatal Error: ") + c.message);
    }
}

class Widget : public ::testing::Test {
protected:
    void SetUp() override { runner = std::make_unique<HeadlessRunner>(); }
    void TearDown() override { runner.reset(); }
    std::unique_ptr<HeadlessRunner> runner;
};

TEST_F(Widget, FocusMakesFullScreenOnceAndSuspendsFrames) {
    GameWidget* w = theWidget;
    EXPECT_FALSE(w->suspended);
    EXPECT_TRUE(w->fullScreenDone);
    EXPECT_EQ(w->showFullScreenCalls(), 1);
    w->focusInEvent();
    EXPECT_EQ(w->showFullScreenCalls(), 1);

    newGame();
    gameState = STATE_PLAYING;
    thrusting = turningLeft = true;
    runner->setFocus(false);
    EXPECT_TRUE(w->suspended);
    EXPECT_FALSE(w->fullScreenDone);
    EXPECT_FALSE(thrusting);
    EXPECT_FALSE(turningLeft);
    const int32_t before = levelFrames;
    runner->frames(4);
    EXPECT_EQ(levelFrames, before);

    runner->setFocus(true);
    EXPECT_EQ(w->showFullScreenCalls(), 2);
    EXPECT_TRUE(w->isFullScreen());
    runner->frames(4);
    EXPECT_EQ(levelFrames, before + 4);
}

TEST_F(Widget, NoFrameRunsBeforeTheFirstFocus) {
    runner.reset();
    HeadlessRunner* r = nullptr;
    // Build a runner but take the focus away at once; frames then do nothing.
    runner = std::make_unique<HeadlessRunner>();
    r = runner.get();
    r->setFocus(false);
    std::fill(backBuffer, backBuffer + SCREEN_PIXELS, uint16_t(0));
    r->frames(3);
    EXPECT_EQ(r->backPixel(2, 300), 0);
}

TEST_F(Widget, AutoRepeatedKeysAreDropped) {
    runner->keyDown(Qt::Key_Space, true);
    EXPECT_EQ(gameState, STATE_TITLE);
    runner->keyUp(Qt::Key_Space);
    runner->keyDown(Qt::Key_Space);
    EXPECT_NE(gameState, STATE_TITLE);
}

TEST_F(Widget, ResizeAwayFromTheScreenSizeRestoresFullScreen) {
    GameWidget* w = theWidget;
    w->setFixedSize(100, 100);
    EXPECT_EQ(w->width(), 240);
    EXPECT_EQ(w->height(), 320);
    EXPECT_EQ(widgetWidth, 240);
    EXPECT_TRUE(w->fullScreenDone);
}

int64_t clockNow = 0;
int64_t testClock() { return clockNow; }

TEST(GameClock, CountsFromItsFirstUseAndWraps) {
    setTimeSource(testClock);
    clockBase = 0;
    clockNow = 1700000000000;
    EXPECT_EQ(gameClock(), 0);
    clockNow += 1234;
    EXPECT_EQ(gameClock(), 1234);

    clockBase = 0;
    clockNow = 0xfffffff0;  // low 32 bits about to wrap
    EXPECT_EQ(gameClock(), 0);
    clockNow += 0x20;
    EXPECT_EQ(gameClock(), 0x20);
    clockNow = 0xfffffff0 + (int64_t(1) << 31);
    EXPECT_LT(gameClock(), 0);
    setTimeSource(nullptr);
    clockBase = 0;
}

} // namespace
