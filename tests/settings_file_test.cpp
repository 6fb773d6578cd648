// Saved settings and the settings file beneath them: where the file lives,
// how entries are read, where new ones go, and that the file is replaced
// whole and only when something changed.
#include <gtest/gtest.h>

#include <malloc.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <string>

#include "audio/audio.h"
#include "game/game.h"
#include "platform/config.h"
#include "platform/paths.h"
#include "settings/settings.h"
#include "support/runner.h"
#include "ui/ui.h"

namespace {

namespace fs = std::filesystem;
const KeyBindings DEFAULT_KEYS = {KEY_UP, KEY_LEFT, KEY_RIGHT, KEY_DOWN, KEY_SPACE, KEY_F11};

// The ten entries as saveSettings() writes them, for the values given.
std::string tenEntries(int hiscore, int music, int sfx, int track, const KeyBindings& k) {
    const char* names[] = {"hiscore",  "music_volume", "sfx_volume", "track",     "key_left",
                           "key_right", "key_thrust",  "key_fire",   "key_pause", "key_shields"};
    const int values[] = {hiscore, music, sfx, track, k.left, k.right, k.thrust, k.fire, k.pause,
                          k.shields};
    std::string text;
    for (int i = 0; i < 10; ++i) text += names[i] + (" = " + std::to_string(values[i])) + "\n";
    return text;
}
// The ten settings globals, in the same form.
std::string current() {
    return tenEntries(highScore, musicVolume, sfxVolume, musicTrack, keyBindings);
}

// Each test gets its own XDG_CONFIG_HOME and fresh globals.
class SettingsFile : public ::testing::Test {
  protected:
    std::string home = makeTempDir("config");
    std::string dir = home + "corvusraiders/";
    std::string path = dir + "corvusraiders.conf";

    void SetUp() override {
        setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        keyBindings = DEFAULT_KEYS;
        highScore = 0, musicVolume = sfxVolume = musicTrack = -1;
    }
    void seed(const std::string& text) {
        fs::create_directories(dir);
        std::ofstream(path) << text;
    }
    ino_t inode() const {
        struct stat st;
        return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
    }
};

TEST_F(SettingsFile, DefaultsWithoutAFileAndTheFolderFromTheEnvironment) {
    EXPECT_TRUE(loadSettings());
    EXPECT_EQ(current(), tenEntries(35000, 128, 128, 2, {0x1013, 0x1012, 0x1014, 0x1015, 0x20,
                                                         0x103a}));
    EXPECT_FALSE(fs::exists(dir)); // reading creates nothing

    setenv("HOME", "/home/player", 1);
    for (bool unset : {false, true}) {
        unset ? unsetenv("XDG_CONFIG_HOME") : setenv("XDG_CONFIG_HOME", "", 1);
        unset ? unsetenv("XDG_STATE_HOME") : setenv("XDG_STATE_HOME", "", 1);
        EXPECT_EQ(Config::userDirectory(), "/home/player/.config/corvusraiders/");
        EXPECT_EQ(stateDirectory(), "/home/player/.local/state/corvusraiders/");
    }
    // Neither variable: the home folder from the password database. Without
    // one (a user missing from it; only root can become one) the settings are
    // neither read nor written, and that is said once; there is no folder for
    // replays either (never the current folder).
    unsetenv("HOME");
    const passwd* me = getpwuid(geteuid());
    ASSERT_NE(me, nullptr);
    EXPECT_EQ(Config::userDirectory(), me->pw_dir + std::string("/.config/corvusraiders/"));
    if (geteuid() == 0) {
        EXPECT_EXIT(
            {
                if (getpwuid(54321) || setuid(54321) != 0) std::exit(2);
                loadSettings();
                saveSettings();
                saveHighScore();
                std::exit(highScore == 35000 && stateDirectory().empty() ? 0 : 3);
            },
            ::testing::ExitedWithCode(0),
            "^corvusraiders: no home folder \\(HOME and XDG_CONFIG_HOME are unset and the user "
            "has none\\); settings are not saved in this run\n$");
    }
    setenv("HOME", "/home/player", 1);
    // Missing folders are made on the first write, private to the user.
    setenv("XDG_CONFIG_HOME", (home + "deeper/still").c_str(), 1);
    EXPECT_TRUE(saveHighScore());
    const std::string made = home + "deeper/still/corvusraiders/";
    EXPECT_EQ(readTextFile(made + "corvusraiders.conf"), "[registry]\nhiscore = 35000\n");
    EXPECT_EQ(fs::status(made).permissions(), fs::perms::owner_all);
}

TEST_F(SettingsFile, TenEntriesSavedInOrderLoadedBackAndReplacedOnlyWhenAValueChanged) {
    const KeyBindings keys = {'W', 'A', 'D', 'S', 'K', 'P'};
    highScore = 48250, musicVolume = 17, sfxVolume = 255, musicTrack = 2, keyBindings = keys;
    EXPECT_TRUE(saveSettings());
    SetUp();
    EXPECT_TRUE(loadSettings());
    EXPECT_EQ(current(), tenEntries(48250, 17, 255, 2, keys));

    const ino_t before = inode();
    EXPECT_TRUE(saveSettings());
    EXPECT_EQ(inode(), before);
    highScore = 60101;
    EXPECT_TRUE(saveSettings());  // by a rename, leaving no temporary file behind
    EXPECT_NE(inode(), before);
    EXPECT_EQ(readTextFile(path), "[registry]\n" + tenEntries(60101, 17, 255, 2, keys));
    // The file and its lock, which stays for the next save.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
}

TEST_F(SettingsFile, HandEditedValuesTakenAsTheyAreOnlyWhenWholeNumbersAndKeptThroughSaves) {
    // Two byte-order marks, spacing, Windows line ends, a repeated key and a
    // second group; a key whose value is not a whole number keeps its binding.
    // Volumes no slider makes are written back as they are, and the marks
    // stay in front.
    const std::string marks = "\xEF\xBB\xBF\xEF\xBB\xBF";
    seed(marks + "[registry]\r\nhiscore = lots\r\nmusic_volume = 300\n"
         "sfx_volume   =   -4   \ntrack=7\ntrack = 8\nkey_left = 99999999999999\n"
         "key_right = +5\nkey_thrust = 12abc\nkey_pause = 0x10\nkey_shields = 1.5\n"
         "[other]\nkey_fire = 1\n[registry]\nkey_fire = 70000");
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(loadSettings());
        EXPECT_EQ(current(), tenEntries(35000 + round, 300, -4, 7,
                                        {KEY_UP, KEY_LEFT, 5, KEY_DOWN, 70000, KEY_F11}));
        highScore += 1;
        EXPECT_TRUE(saveSettings());
    }
    EXPECT_EQ(readTextFile(path).substr(0, 16), marks + "[registry]");

    // A long group name over many lines costs memory by the file's size.
    std::ofstream(home + "big.conf") << "[" << std::string(60000, 'g') << "]"
                                     << std::string(60000, '\n');
    const size_t before = mallinfo2().uordblks;
    Config config((home + "big").c_str(), Config::File);
    EXPECT_LT(mallinfo2().uordblks - before, size_t(16) << 20);
}

TEST_F(SettingsFile, NewEntriesJoinTheirGroupAndOtherLinesStay) {
    const std::string tail = "some junk line\n\n[elsewhere]\nhiscore = 5\n";
    seed("# by hand\n[registry]\nhiscore = 100\nmusic_volume = 40\n" + tail);
    highScore = 61000;
    musicVolume = 1; // the high score is written on its own
    EXPECT_TRUE(saveHighScore());
    EXPECT_EQ(readTextFile(path),
              "# by hand\n[registry]\nhiscore = 61000\nmusic_volume = 40\n" + tail);

    musicVolume = 40, sfxVolume = 128, musicTrack = 2;
    EXPECT_TRUE(saveSettings());
    EXPECT_EQ(readTextFile(path),
              "# by hand\n[registry]\n" + tenEntries(61000, 40, 128, 2, DEFAULT_KEYS) + tail);

    // Windows line ends stay, and new lines take them too; a line's own end is kept.
    seed("# by hand\r\n[registry]\r\nhiscore = 100\r\n; mine\n");
    EXPECT_TRUE(saveSettings());
    std::string crlf = "# by hand\n[registry]\n" + tenEntries(61000, 40, 128, 2, DEFAULT_KEYS);
    for (size_t at = 0; (at = crlf.find('\n', at)) != std::string::npos; at += 2)
        crlf.insert(at, "\r");
    EXPECT_EQ(readTextFile(path), crlf + "; mine\n");
}

// Copies of the game sharing the folder. This one read 50000, another then
// saved 499700: this copy's save keeps the better score and shows it. A copy
// in the middle of a save (it read the file and is about to write a lower
// score) holds back every other copy's save until it is done. Four copies
// saving their scores at the same time leave the best of them all.
TEST_F(SettingsFile, ASaveNeverLowersTheHighScoreAnotherCopySaved) {
    seed("[registry]\nhiscore = 50000\n");
    EXPECT_TRUE(loadSettings());
    const auto inChild = [](const std::function<bool()>& body) {
        const pid_t pid = fork();
        if (pid == 0) _exit(body() ? 0 : 1);
        return pid;
    };
    const auto succeeded = [](pid_t pid) {
        int status = -1;
        return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    ASSERT_TRUE(succeeded(inChild([] {
        loadSettings();
        highScore = 499700;
        return saveHighScore();
    })));
    musicVolume = 9, sfxVolume = 8, musicTrack = 2;
    EXPECT_TRUE(saveSettings());
    EXPECT_EQ(highScore, 499700);
    EXPECT_EQ(readTextFile(path), "[registry]\n" + current());

    int held[2], go[2];
    ASSERT_TRUE(pipe(held) == 0 && pipe(go) == 0);
    const pid_t slow = inChild([&] {
        Config config("corvusraiders", Config::User, Config::Update);
        config.setGroup("registry");
        config.writeEntry("hiscore", 100);
        char byte = 0;
        return write(held[1], &byte, 1) == 1 && read(go[0], &byte, 1) == 1;
    });
    char byte = 0;
    ASSERT_EQ(read(held[0], &byte, 1), 1);
    const pid_t better = inChild([] {
        highScore = 600000;
        return saveHighScore();
    });
    // Without the lock the better save is done long before this.
    int status = 0;
    for (int waited = 0; waited < 100 && waitpid(better, &status, WNOHANG) == 0; ++waited)
        usleep(20000);
    ASSERT_EQ(write(go[1], &byte, 1), 1);
    EXPECT_TRUE(succeeded(slow));
    waitpid(better, &status, 0);
    EXPECT_NE(readTextFile(path).find("hiscore = 600000\n"), std::string::npos) << readTextFile(path);

    constexpr int COPIES = 4, SAVES = 40;
    pid_t copies[COPIES];
    for (int c = 0; c < COPIES; ++c)
        copies[c] = inChild([c] {
            for (int n = 1; n <= SAVES; ++n) {
                highScore = 700000 + n * COPIES + c;
                if (!saveHighScore()) return false;
            }
            return true;
        });
    for (pid_t pid : copies) EXPECT_TRUE(succeeded(pid));
    EXPECT_NE(readTextFile(path).find("hiscore = " + std::to_string(700000 + SAVES * COPIES + COPIES - 1)),
              std::string::npos) << readTextFile(path);
}

// Each failed save keeps the old file and is reported once per file, with
// the reason; the game goes on.
TEST_F(SettingsFile, FailedWritesKeepTheOldFileAndAreReportedOnce) {
    const std::string old = "[registry]\nhiscore = 100\n#" + std::string(600, '-') + "\n";
    const std::string tail = "; the changes of this run are not saved\n";
    seed(old);
    highScore = 999;
    // A disk that fills up during the write (a file size limit stands in for
    // it), in a fresh process: no temporary file is left.
    EXPECT_EXIT(
        {
            signal(SIGXFSZ, SIG_IGN);
            rlimit limit;
            limit.rlim_cur = limit.rlim_max = 512; // the report itself fits
            setrlimit(RLIMIT_FSIZE, &limit);
            saveSettings();
            saveHighScore();
            std::exit(0);
        },
        ::testing::ExitedWithCode(0),
        "^corvusraiders: cannot write the settings file .*/corvusraiders.conf \\(File too "
        "large\\); the changes of this run are not saved\n$");
    EXPECT_EQ(readTextFile(path), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    // A link into a folder that is missing (a drive not mounted): nothing is
    // created at its far end.
    testing::internal::CaptureStderr();
    fs::remove(path);
    fs::create_symlink(home + "unmounted/dir/corvusraiders.conf", path);
    EXPECT_TRUE(saveHighScore());
    EXPECT_TRUE(saveSettings());
    EXPECT_FALSE(fs::exists(home + "unmounted"));

    // A file just under the size the reader accepts is not saved past it.
    const std::string big = "[registry]\n#" + std::string((4 << 20) - 14, '-') + "\n";
    fs::remove(path);
    seed(big);
    EXPECT_TRUE(saveSettings());
    EXPECT_EQ(readTextFile(path), big);

    // A settings "folder" that is a plain file cannot be created.
    std::ofstream(home + "plain") << "x";
    setenv("XDG_CONFIG_HOME", (home + "plain").c_str(), 1);
    EXPECT_TRUE(saveSettings());
    EXPECT_EQ(readTextFile(home + "plain"), "x");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "corvusraiders: cannot write the settings file " + home +
                  "unmounted/dir/corvusraiders.conf (No such file or directory)" + tail +
                  "corvusraiders: cannot write the settings file " + path +
                  " (too large for a settings file)" + tail +
                  "corvusraiders: cannot write the settings file " + home +
                  "plain/corvusraiders/corvusraiders.conf (Not a directory)" + tail);
}

TEST_F(SettingsFile, SavesGoThroughLinksKeepPermissionsAndClearStaleTemporaries) {
    // The settings file is a link into a dotfiles folder.
    const std::string target = home + "dotfiles/settings.conf";
    fs::create_directories(home + "dotfiles");
    fs::create_directories(dir);
    std::ofstream(target) << "[registry]\nhiscore = 100\n[mine]\nx = 1\n";
    fs::permissions(target, fs::perms(0640));
    fs::create_symlink("../dotfiles/settings.conf", path);

    // Left by a save that was killed; one that a copy of the game (in another
    // process namespace, whatever its name says) is writing right now and
    // holds locked; and names that are not this game's temporaries.
    const std::string stale = target + ".tmp-00c0ffee00c0ffee";
    const std::string kept[] = {target + ".tmp-2", target + ".tmp-zz",
                                home + "dotfiles/other.tmp-2"};
    for (const std::string& p : kept) std::ofstream(p) << "x";
    std::ofstream(stale) << "[registry]\nhiscore = 0\n";
    const int writing = open(kept[0].c_str(), O_RDONLY);
    ASSERT_EQ(flock(writing, LOCK_EX), 0);

    EXPECT_TRUE(loadSettings());
    highScore = 200;
    EXPECT_TRUE(saveHighScore());
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(readTextFile(target), "[registry]\nhiscore = 200\n[mine]\nx = 1\n");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
    EXPECT_FALSE(fs::exists(stale));
    for (const std::string& p : kept) EXPECT_TRUE(fs::exists(p)) << p;
    close(writing);

    // Without the file's lock (a replay's save) only what nobody has touched
    // for a minute is known to be left over.
    std::ofstream(stale) << "x";
    fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::minutes(2));
    removeStaleTemporaries(target, false);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(kept[0]));
}

// Runs in a fresh process that cannot read the settings file (the user
// "nobody" when the tests run as root): counts the reports on standard error.
int reportsWhenUnreadable(const std::string& home, const std::string& dir) {
    if (geteuid() == 0) {
        chmod(fs::path(home).parent_path().parent_path().c_str(), 0711);
        chmod(home.c_str(), 0777);
        chmod(dir.c_str(), 0777);
        if (setgid(65534) != 0 || setuid(65534) != 0) return -1;
    }
    testing::internal::CaptureStderr();
    loadSettings();
    highScore = 1;
    saveSettings();
    saveHighScore();
    const std::string said = testing::internal::GetCapturedStderr();
    int reports = 0;
    for (size_t at = 0; (at = said.find("cannot read", at)) != std::string::npos; ++at) ++reports;
    return highScore == 1 && sfxVolume == 128 ? reports : -2;
}

TEST_F(SettingsFile, AFileThatCannotBeReadIsNeverWrittenOver) {
    const std::string old = "[registry]\nhiscore = 100\nsfx_volume = 5\n[mine]\nx = 1\n";
    seed(old);
    chmod(dir.c_str(), 0777);
    chmod(path.c_str(), 0200);
    EXPECT_EXIT(std::exit(reportsWhenUnreadable(home, dir)), ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(readTextFile(path), old);

    // A folder or a pipe in the file's place is not a settings file either.
    for (bool pipe : {false, true}) {
        fs::remove(path);
        pipe ? mkfifo(path.c_str(), 0600) : mkdir(path.c_str(), 0700);
        EXPECT_EXIT(std::exit(reportsWhenUnreadable(home, dir)), ::testing::ExitedWithCode(1), "");
        EXPECT_EQ(fs::is_fifo(path), pipe);
        EXPECT_EQ(fs::is_directory(path), !pipe);
    }
}

} // namespace
