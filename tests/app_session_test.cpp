// End to end through the real program, headless: key and mouse events go to
// the host window, frames run on a controlled clock. One whole session from
// the title to the process's own exit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/replay.h"
#include "audio/audio.h"
#include "support/runner.h"
#include "ui/ui.h"

namespace {

// Host (Qt 6) key codes sent to the window.
constexpr int QT_ESCAPE = 0x01000000, QT_LEFT = 0x01000012;
constexpr int QT_SPACE = 0x20;

// The session runs in a child process: a step that went wrong ends it with
// its own code.
void need(bool ok, int code) { if (!ok) std::exit(code); }

// Runs frames until the state is reached; false if it never is.
bool runUntil(HeadlessRunner& r, GameState want, int limit) {
    for (int i = 0; i < limit && gameState != want; i++)
        r.frames(1);
    return gameState == want;
}

// Fires, turning now and then, until a rock has been hit.
bool breakARock(HeadlessRunner& r) {
    for (int i = 0; i < 4000 && score == 0; i++) {
        if (gameState == STATE_PLAYING && i % 3 == 0) r.pressKey(QT_SPACE);
        if (i % 40 == 0) r.keyDown(QT_LEFT);
        if (i % 40 == 6) r.keyUp(QT_LEFT);
        r.frames(1);
    }
    r.keyUp(QT_LEFT);
    return score > 0;
}

void playWholeSession(const std::string& configHome) {
    HeadlessRunner r(makeTestDataRoot(), 12345, configHome);
    r.frames(3);
    need(gameState == STATE_TITLE, 10);
    r.pressKey(QT_SPACE);
    need(gameState == STATE_MENU, 11);
    r.pressKey('N');
    need(gameState == STATE_PLAYING && level == 1, 12);
    need(breakARock(r) && runUntil(r, STATE_PLAYING, 400), 13);

    // The pen on the play field pauses the game.
    r.penPress(30, 200);
    need(gameState == STATE_PAUSED, 19);

    // Quit the running game: the ship blows up, and the game is over with
    // the score as the new high score.
    const int32_t scored = score;
    r.penPress(200, 300);
    need(gameState == STATE_SHIP_LOST && lives == -2, 23);
    r.frames(1);
    need(gameState == STATE_GAME_OVER && highScore == scored && scored > 50, 24);
    // The record game is kept as the best one as soon as its score is saved.
    ReplayFile best;
    std::string error;
    need(loadReplay(configHome + "state/corvusraiders/best.replay", best, error) &&
             best.facts.endedEarly() && best.facts.score == scored, 28);
    need(runUntil(r, STATE_MENU, 400), 25);
    r.penPress(160, 148);  // the music slider
    r.penRelease(160, 148);

    // Escape leads to the exit screen: it saves the settings (the volume just
    // set) on its first frame and asks for the program's end on its 101st,
    // neither sooner nor later.
    r.pressKey(QT_ESCAPE);
    need(gameState == STATE_EXITING && !::testing::Test::HasFailure(), 26);
    r.frames(1);
    const std::string saved = readTextFile(configHome + "corvusraiders/corvusraiders.conf");
    need(saved.find("music_volume = 124\n") != std::string::npos, 27);
    r.frames(99);
    need(!PlatformApplication::quitting(), 29);
    r.frames(1);
    need(PlatformApplication::quitting(), 30);
    std::exit(0);
}

TEST(PlayE2E, WholeSessionFromTitleToExit) {
    // The child runs this test again with the same environment, so both
    // sides agree on the settings folder.
    if (!std::getenv("CORVUS_E2E_CONFIG"))
        setenv("CORVUS_E2E_CONFIG", makeTempDir("play").c_str(), 1);
    const std::string home = std::getenv("CORVUS_E2E_CONFIG");
    const std::string file = home + "corvusraiders/corvusraiders.conf";
    std::filesystem::create_directories(home + "corvusraiders");
    std::ofstream(file) << "[registry]\nhiscore = 50\n"; // beaten by the first rock
    // Twenty games kept from before: the oldest goes when this one is kept.
    const std::string games = home + "state/corvusraiders/games/";
    std::filesystem::create_directories(games);
    for (int n = 0; n < 20; ++n)
        std::ofstream(games + "2020-01-01_00-00-" + (n < 10 ? "0" : "") + std::to_string(n) + "_10.replay") << n;

    EXPECT_EXIT(playWholeSession(home), ::testing::ExitedWithCode(0), "");

    const std::string settings = readTextFile(file);
    EXPECT_TRUE(settings.find("hiscore = ") != std::string::npos &&
                settings.find("hiscore = 50\n") == std::string::npos) << settings;

    // The game is one of the twenty kept, named by its date, time and score.
    const size_t at = settings.find("hiscore = ") + 10;
    const std::string scored = "_" + settings.substr(at, settings.find('\n', at) - at) + ".replay";
    int kept = 0;
    bool thisGame = false;
    for (const auto& e : std::filesystem::directory_iterator(games)) {
        const std::string name = e.path().filename().string();
        ++kept;
        thisGame |= name.rfind("2020-", 0) != 0 && name.find(scored) != std::string::npos;
    }
    EXPECT_EQ(kept, 20);
    EXPECT_FALSE(std::filesystem::exists(games + "2020-01-01_00-00-00_10.replay"));
    EXPECT_TRUE(thisGame);

    // The game was recorded as the last and the best game, and plays back the same.
    for (const char* name : {"last", "best"})
        EXPECT_EQ(runExecutable("QPEDIR='" + makeTestDataRoot() + "'",
                                "--replay '" + home + "state/corvusraiders/" + name + ".replay' --verify", home),
                  0) << name;
}

} // namespace
