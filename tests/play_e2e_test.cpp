// End to end through the real program, headless: key and mouse events go to
// the host window, frames run on a controlled clock. One whole session from
// the title to the process's own exit, plus the key-routing details that only
// the running program shows (auto-repeat, losing the focus).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "support/runner.h"
#include "ui/ui.h"

namespace {

// Host (Qt 6) key codes sent to the window.
constexpr int QT_ESCAPE = 0x01000000;
constexpr int QT_LEFT = 0x01000012;
constexpr int QT_UP = 0x01000013;
constexpr int QT_DOWN = 0x01000015;
constexpr int QT_F11 = 0x0100003a;
constexpr int QT_SPACE = 0x20;

constexpr uint16_t KNOB = 0x8235;
constexpr uint16_t TRACK_LIGHT = 0x1662;
constexpr int DIM = 20;

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs frames until the state is reached; false if it never is.
bool runUntil(HeadlessRunner& r, GameState want, int limit) {
    for (int i = 0; i < limit && gameState != want; i++)
        r.frames(1);
    return gameState == want;
}

// Fires, turning now and then, until a rock has been hit.
bool breakARock(HeadlessRunner& r) {
    for (int i = 0; i < 4000 && score == 0; i++) {
        if (gameState == STATE_PLAYING && i % 3 == 0)
            r.pressKey(QT_SPACE);
        if (i % 40 == 0)
            r.keyDown(QT_LEFT);
        if (i % 40 == 6)
            r.keyUp(QT_LEFT);
        r.frames(1);
    }
    r.keyUp(QT_LEFT);
    return score > 0;
}

// The pause screen shows the frozen frame dimmed wherever the panel leaves
// it visible: the strip above the banner and the corner right of the items.
void expectDimmedSnapshot(HeadlessRunner& r) {
    for (auto [x, y] : {std::pair{0, 0}, {120, 10}, {239, 19}, {235, 300}, {238, 318}, {5, 310}}) {
        uint16_t frozen = pauseSnapshot[y * SCREEN_WIDTH + x];
        EXPECT_EQ(r.backPixel(x, y), dimPixel(frozen, DIM)) << x << "," << y;
    }
}

// Column of the knob and its track neighbours on the slider at row y.
void expectKnobAt(HeadlessRunner& r, int column, int y) {
    EXPECT_EQ(r.backPixel(column, y), KNOB) << "knob column " << column << " row " << y;
    EXPECT_NE(r.backPixel(column - 1, y), KNOB) << column - 1;
    EXPECT_NE(r.backPixel(column + 1, y), KNOB) << column + 1;
}

// The whole session. Everything runs in a child process, which ends itself
// from the exit screen; its settings folder is one the parent made, so the
// parent can read the file the child left.
void playWholeSession(const std::string& configHome) {
    HeadlessRunner r(makeTestDataRoot(), 12345, configHome);
    r.frames(3);
    if (gameState != STATE_TITLE)
        std::exit(10);

    // Title, menu, new game.
    r.pressKey(QT_SPACE);
    r.frames(2);
    if (gameState != STATE_MENU)
        std::exit(11);
    r.pressKey('N');
    r.frames(2);
    if (gameState != STATE_PLAYING || level != 1)
        std::exit(12);

    if (!breakARock(r))
        std::exit(13);
    if (!runUntil(r, STATE_PLAYING, 400))
        std::exit(14);

    // Pause with the pause key: the last game frame is frozen.
    std::vector<uint16_t> last(backBuffer, backBuffer + SCREEN_PIXELS);
    r.pressKey(QT_F11);
    if (gameState != STATE_PAUSED || resumeState != STATE_PLAYING)
        std::exit(15);
    if (std::memcmp(pauseSnapshot, last.data(), SCREEN_BYTES) != 0)
        std::exit(16);
    r.frames(1);
    expectDimmedSnapshot(r);

    // The pause key again does nothing; another key resumes.
    r.pressKey(QT_F11);
    r.frames(1);
    if (gameState != STATE_PAUSED)
        std::exit(17);
    r.pressKey('R');
    if (gameState != STATE_PLAYING)
        std::exit(18);
    r.frames(2);

    // Pause with the pen, anywhere on the play field.
    if (!runUntil(r, STATE_PLAYING, 400))
        std::exit(19);
    r.penPress(30, 200);
    r.penRelease(30, 200);
    if (gameState != STATE_PAUSED)
        std::exit(20);

    // Music volume by a press, effect volume by a drag along the slider.
    r.penPress(160, 148);
    r.penRelease(160, 148);
    r.penPress(110, 130);
    for (int x = 120; x <= 200; x += 10)
        r.penMove(x, 131);
    r.penRelease(200, 131);
    if (musicVolume != 124 || sfxVolume != 204)
        std::exit(21);
    r.frames(1);
    expectKnobAt(r, 98 + 124 / 2 - 1, 146);   // x 159
    expectKnobAt(r, 98 + 204 / 2 - 1, 131);   // x 199
    EXPECT_EQ(r.backPixel(98, 146), TRACK_LIGHT);
    expectDimmedSnapshot(r);

    // Redefine the keys; the second offer of A is refused.
    r.penPress(120, 240);
    r.penRelease(120, 240);
    if (gameState != STATE_REDEFINE_KEYS || resumeState != STATE_PAUSED)
        std::exit(22);
    const int keys[] = {'A', 'D', 'A', 'W', 'J', 'S', 'P'};
    for (int i = 0; i < 7; i++) {
        r.pressKey(keys[i]);
        r.frames(1);
        bool refused = i == 2;
        if (keyInUseSprite->isActive() != refused)
            std::exit(40 + i);
        if (i < 6 && keyPromptSprite->getFrame() != (i < 2 ? i + 1 : i))
            std::exit(50 + i);
    }
    if (gameState != STATE_PAUSED || resumeState != STATE_PLAYING)
        std::exit(23);
    if (keyBindings.left != 'A' || keyBindings.right != 'D' || keyBindings.thrust != 'W' ||
        keyBindings.fire != 'J' || keyBindings.shields != 'S' || keyBindings.pause != 'P')
        std::exit(24);
    expectDimmedSnapshot(r);   // back over the same frozen frame

    // Quit the running game: the ship blows up and the game is over.
    const int32_t scored = score;
    r.penPress(200, 300);
    r.penRelease(200, 300);
    if (gameState != STATE_SHIP_LOST || lives != -2)
        std::exit(25);
    r.frames(1);
    if (gameState != STATE_GAME_OVER || highScore != scored || scored <= 50)
        std::exit(26);
    if (!runUntil(r, STATE_MENU, 400))
        std::exit(27);

    // Escape leads to the exit screen, which ends the program by itself.
    r.pressKey(QT_ESCAPE);
    if (gameState != STATE_EXITING)
        std::exit(28);
    if (::testing::Test::HasFailure())
        std::exit(29);
    r.frames(200);
    std::exit(30);   // not reached: the exit screen ends the process with 0
}

TEST(PlayE2E, WholeSessionFromTitleToExit) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    // The child inherits the environment, so both sides agree on the folder.
    if (!std::getenv("CORVUS_E2E_CONFIG")) {
        std::string dir = std::filesystem::temp_directory_path().string() + "/corvus_play_" +
                          std::to_string(getpid()) + "/";
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        setenv("CORVUS_E2E_CONFIG", dir.c_str(), 1);
    }
    const std::string configHome = std::getenv("CORVUS_E2E_CONFIG");
    // A low high score that the first broken rock beats.
    std::filesystem::create_directories(configHome + "corvusraiders");
    std::ofstream(configHome + "corvusraiders/corvusraiders.conf") << "[registry]\nhiscore = 50\n";

    EXPECT_EXIT(playWholeSession(configHome), ::testing::ExitedWithCode(0), "");

    const std::string settings = readFile(configHome + "corvusraiders/corvusraiders.conf");
    std::filesystem::remove_all(configHome);
    ASSERT_FALSE(settings.empty());
    EXPECT_NE(settings.find("key_left = 65"), std::string::npos) << settings;
    EXPECT_NE(settings.find("key_right = 68"), std::string::npos) << settings;
    EXPECT_NE(settings.find("key_thrust = 87"), std::string::npos) << settings;
    EXPECT_NE(settings.find("key_fire = 74"), std::string::npos) << settings;
    EXPECT_NE(settings.find("key_shields = 83"), std::string::npos) << settings;
    EXPECT_NE(settings.find("key_pause = 80"), std::string::npos) << settings;
    EXPECT_NE(settings.find("music_volume = 124"), std::string::npos) << settings;
    EXPECT_NE(settings.find("sfx_volume = 204"), std::string::npos) << settings;
    // The child saw the beaten high score committed at game over.
    EXPECT_EQ(settings.find("hiscore = 50\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("hiscore = "), std::string::npos) << settings;
}

TEST(PlayE2E, AutoRepeatNeverReachesTheControls) {
    HeadlessRunner r;
    r.frames(2);
    r.pressKey(QT_SPACE);
    r.pressKey(QT_SPACE);
    r.frames(1);
    ASSERT_EQ(gameState, STATE_PLAYING);

    float vy0 = shipVelocityY;
    r.keyDown(QT_UP);
    float vy1 = shipVelocityY;
    EXPECT_LT(vy1, vy0);
    for (int i = 0; i < 5; i++)
        r.keyDown(QT_UP, true);
    EXPECT_EQ(shipVelocityY, vy1);
    EXPECT_TRUE(thrusting);
    r.keyUp(QT_UP);
    EXPECT_FALSE(thrusting);

    // Holding fire gives one shot, however long the key repeats.
    r.keyDown(QT_SPACE);
    for (int i = 0; i < 10; i++)
        r.keyDown(QT_SPACE, true);
    int shots = 0;
    for (int i = 0; i < SHOT_SLOTS; i++)
        shots += shotSprites[i]->isActive();
    EXPECT_EQ(shots, 1);
    r.keyUp(QT_SPACE);

    // An auto-repeated pause key does not pause.
    r.keyDown(QT_F11, true);
    EXPECT_EQ(gameState, STATE_PLAYING);
}

TEST(PlayE2E, LosingTheFocusLetsGoOfThrustAndTurn) {
    HeadlessRunner r;
    r.frames(2);
    r.penPress(100, 100);     // title
    r.penPress(60, 300);      // new game
    r.frames(1);
    ASSERT_EQ(gameState, STATE_PLAYING);
    r.keyDown(QT_UP);
    r.keyDown(QT_LEFT);
    ASSERT_TRUE(thrusting && turningLeft);
    r.setFocus(false);
    EXPECT_FALSE(thrusting);
    EXPECT_FALSE(turningLeft);
    r.setFocus(true);
    r.keyUp(QT_UP);
    r.keyUp(QT_LEFT);

    // The shield starts a level full, so the shields key raises it at once.
    r.pressKey(QT_DOWN);
    EXPECT_TRUE(shieldsUp);
}

} // namespace
