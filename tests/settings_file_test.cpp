// Saved settings: defaults, the ten entries in their order, values taken as
// they are, and the high score written on its own.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "audio/audio.h"
#include "game/game.h"
#include "settings/settings.h"
#include "ui/ui.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

const KeyBindings DEFAULT_KEYS = {KEY_UP, KEY_LEFT, KEY_RIGHT, KEY_DOWN, KEY_SPACE, KEY_F11};

class SettingsFile : public ::testing::Test {
  protected:
    std::string home, dir, path;

    void SetUp() override {
        char tmpl[] = "/tmp/corvus-settings-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        home = tmpl;
        setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        dir = home + "/corvusraiders/";
        path = dir + "corvusraiders.conf";
        keyBindings = DEFAULT_KEYS;
        highScore = 0;
        musicVolume = sfxVolume = musicTrack = -1;
    }
    void TearDown() override {
        std::string cmd = "rm -rf '" + home + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
    }
    void seed(const std::string& text) {
        mkdir(dir.c_str(), 0700);
        std::ofstream(path) << text;
    }
};

TEST_F(SettingsFile, NoFileGivesDefaultsAndCreatesNothing) {
    EXPECT_TRUE(loadSettings());
    EXPECT_EQ(highScore, 35000);
    EXPECT_EQ(musicVolume, 128);
    EXPECT_EQ(sfxVolume, 128);
    EXPECT_EQ(musicTrack, 2);
    EXPECT_EQ(keyBindings.left, 0x1012);
    EXPECT_EQ(keyBindings.right, 0x1014);
    EXPECT_EQ(keyBindings.thrust, 0x1013);
    EXPECT_EQ(keyBindings.fire, 0x20);
    EXPECT_EQ(keyBindings.pause, 0x103a);
    EXPECT_EQ(keyBindings.shields, 0x1015);
    struct stat st;
    EXPECT_NE(stat(path.c_str(), &st), 0);
}

TEST_F(SettingsFile, SaveWritesTheTenEntriesInOrderAndLoadsThemBack) {
    highScore = 48250;
    musicVolume = 17;
    sfxVolume = 255;
    musicTrack = 2;
    keyBindings = {'W', 'A', 'D', 'S', 'K', 'P'};
    EXPECT_TRUE(saveSettings());
    EXPECT_EQ(readFile(path), "[registry]\n"
                              "hiscore = 48250\n"
                              "music_volume = 17\n"
                              "sfx_volume = 255\n"
                              "track = 2\n"
                              "key_left = 65\n"
                              "key_right = 68\n"
                              "key_thrust = 87\n"
                              "key_fire = 75\n"
                              "key_pause = 80\n"
                              "key_shields = 83\n");

    highScore = 0;
    musicVolume = sfxVolume = musicTrack = 0;
    keyBindings = DEFAULT_KEYS;
    EXPECT_TRUE(loadSettings());
    EXPECT_EQ(highScore, 48250);
    EXPECT_EQ(musicVolume, 17);
    EXPECT_EQ(sfxVolume, 255);
    EXPECT_EQ(keyBindings.thrust, 'W');
    EXPECT_EQ(keyBindings.left, 'A');
    EXPECT_EQ(keyBindings.right, 'D');
    EXPECT_EQ(keyBindings.shields, 'S');
    EXPECT_EQ(keyBindings.fire, 'K');
    EXPECT_EQ(keyBindings.pause, 'P');
}

TEST_F(SettingsFile, HandEditedValuesUsedUnchangedOrReplacedByDefaults) {
    seed("[registry]\n"
         "hiscore = lots\n"
         "music_volume = 300\n"
         "sfx_volume = -4\n"
         "track = 7\n"
         "key_left = 99999999999999\n"
         "key_fire = 70000\n");
    keyBindings.left = 'Q'; // a missing or broken key keeps the binding it has
    EXPECT_TRUE(loadSettings());
    EXPECT_EQ(highScore, 35000);
    EXPECT_EQ(musicVolume, 300);
    EXPECT_EQ(mixerVolume(musicVolume), 150);
    EXPECT_EQ(sfxVolume, -4);
    EXPECT_EQ(musicTrack, 7);
    EXPECT_EQ(keyBindings.left, 'Q');
    EXPECT_EQ(keyBindings.fire, 70000);
    EXPECT_EQ(keyBindings.right, KEY_RIGHT);
}

TEST_F(SettingsFile, HighScoreAloneAndUnknownLinesKept) {
    seed("# written by hand\n"
         "[registry]\n"
         "hiscore = 100\n"
         "music_volume = 40\n"
         "[elsewhere]\n"
         "hiscore = 5\n");
    highScore = 61000;
    musicVolume = 1; // must not reach the file
    EXPECT_TRUE(saveHighScore());
    EXPECT_EQ(readFile(path), "# written by hand\n"
                              "[registry]\n"
                              "hiscore = 61000\n"
                              "music_volume = 40\n"
                              "[elsewhere]\n"
                              "hiscore = 5\n");

    // Saving everything adds the missing entries to the group in order.
    musicVolume = 40;
    sfxVolume = 128;
    musicTrack = 2;
    EXPECT_TRUE(saveSettings());
    EXPECT_EQ(readFile(path), "# written by hand\n"
                              "[registry]\n"
                              "hiscore = 61000\n"
                              "music_volume = 40\n"
                              "sfx_volume = 128\n"
                              "track = 2\n"
                              "key_left = 4114\n"
                              "key_right = 4116\n"
                              "key_thrust = 4115\n"
                              "key_fire = 32\n"
                              "key_pause = 4154\n"
                              "key_shields = 4117\n"
                              "[elsewhere]\n"
                              "hiscore = 5\n");
}

} // namespace
