// Config: where the file lives, how entries are read, where new ones go, and
// that the file is replaced whole and only when something changed.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/config.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path);
    out << text;
}

ino_t inodeOf(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::vector<std::string> dirEntries(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

// Each test gets its own XDG_CONFIG_HOME.
class ConfigFile : public ::testing::Test {
  protected:
    std::string home;
    std::string dir;  // the settings folder
    std::string path; // dir + "test.conf"

    void SetUp() override {
        char tmpl[] = "/tmp/corvus-config-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        home = tmpl;
        setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        dir = home + "/corvusraiders/";
        path = dir + "test.conf";
    }
    void TearDown() override {
        std::string cmd = "chmod -R u+w '" + home + "' && rm -rf '" + home + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
    }
    void seed(const std::string& text) {
        mkdir(dir.c_str(), 0700);
        writeFile(path, text);
    }
};

TEST_F(ConfigFile, SettingsFolderFromTheEnvironmentCreatedOnDemand) {
    EXPECT_EQ(Config::userDirectory(), home + "/corvusraiders/");
    setenv("XDG_CONFIG_HOME", "", 1);
    setenv("HOME", "/home/player", 1);
    EXPECT_EQ(Config::userDirectory(), "/home/player/.config/corvusraiders/");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(Config::userDirectory(), "/home/player/.config/corvusraiders/");
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    Config c("test", Config::User);
    EXPECT_EQ(c.path(), path);

    // Missing folders are created, private to the user.
    setenv("XDG_CONFIG_HOME", (home + "/deeper/still").c_str(), 1);
    {
        Config made("test", Config::User);
        made.setGroup("g");
        made.writeEntry("k", 1);
    }
    std::string madeDir = home + "/deeper/still/corvusraiders/";
    EXPECT_EQ(readFile(madeDir + "test.conf"), "[g]\nk = 1\n");
    struct stat st;
    ASSERT_EQ(stat(madeDir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(ConfigFile, ReadsWholeNumbersOnlyPerGroup) {
    seed("\xEF\xBB\xBFtop = 1\n"
         "[registry]\n"
         "plain = 42\n"
         "spaced   =   -7   \n"
         "tight=13\n"
         "plus = +5\n"
         "letters = 12abc\n"
         "hex = 0x10\n"
         "fraction = 1.5\n"
         "empty =\n"
         "huge = 99999999999\n"
         "min = -2147483648\n"
         "dup = 1\n"
         "dup = 2\n"
         "[other]\r\n"
         "plain = 99\r\n"
         "last = 3"); // Windows line ends, no final newline
    Config c("test", Config::User);
    EXPECT_EQ(c.readNumEntry("top", 0), 1); // before any group header
    c.setGroup("registry");
    EXPECT_EQ(c.readNumEntry("plain", 0), 42);
    EXPECT_EQ(c.readNumEntry("spaced", 0), -7);
    EXPECT_EQ(c.readNumEntry("tight", 0), 13);
    EXPECT_EQ(c.readNumEntry("plus", 0), 5);
    EXPECT_EQ(c.readNumEntry("letters", -1), -1);
    EXPECT_EQ(c.readNumEntry("hex", -1), -1);
    EXPECT_EQ(c.readNumEntry("fraction", -1), -1);
    EXPECT_EQ(c.readNumEntry("empty", -1), -1);
    EXPECT_EQ(c.readNumEntry("huge", -1), -1);
    EXPECT_EQ(c.readNumEntry("min", 0), -2147483647 - 1);
    EXPECT_EQ(c.readNumEntry("dup", 0), 1);
    EXPECT_EQ(c.readNumEntry("top", -1), -1); // other group
    EXPECT_EQ(c.readNumEntry("missing", 77), 77);
    c.setGroup("other");
    EXPECT_EQ(c.readNumEntry("plain", 0), 99);
    EXPECT_EQ(c.readNumEntry("last", 0), 3);
}

TEST_F(ConfigFile, NewEntriesJoinTheirGroupAndUnknownLinesStay) {
    seed("# kept comment\n"
         "[registry]\n"
         "hiscore = 100\n"
         "some junk line\n"
         "\n"
         "[other]\n"
         "x = 1\n");
    {
        Config c("test", Config::User);
        c.setGroup("registry");
        c.writeEntry("hiscore", 200);
        c.writeEntry("track", 2);
        c.setGroup("brand");
        c.writeEntry("a", -3);
    }
    EXPECT_EQ(readFile(path), "# kept comment\n"
                              "[registry]\n"
                              "hiscore = 200\n"
                              "track = 2\n"
                              "some junk line\n"
                              "\n"
                              "[other]\n"
                              "x = 1\n"
                              "\n"
                              "[brand]\n"
                              "a = -3\n");
    Config again("test", Config::User);
    again.setGroup("brand");
    EXPECT_EQ(again.readNumEntry("a", 0), -3);
}

TEST_F(ConfigFile, NothingWrittenUnlessAValueChanged) {
    {
        Config c("test", Config::User);
        c.setGroup("registry");
        EXPECT_EQ(c.readNumEntry("hiscore", 5), 5);
    }
    EXPECT_NE(access(dir.c_str(), F_OK), 0); // not even the folder is created

    seed("[registry]\nhiscore = 100\n");
    ino_t before = inodeOf(path);
    {
        Config c("test", Config::User);
        c.setGroup("registry");
        c.writeEntry("hiscore", 100);
    }
    EXPECT_EQ(inodeOf(path), before);

    {
        Config c("test", Config::User);
        c.setGroup("registry");
        c.writeEntry("hiscore", 101);
        c.writeEntry("hiscore", 102);
        EXPECT_EQ(c.readNumEntry("hiscore", 0), 102);
        EXPECT_EQ(readFile(path), "[registry]\nhiscore = 100\n"); // only the destructor writes
    }
    EXPECT_NE(inodeOf(path), before); // replaced by a rename, not rewritten in place
    EXPECT_EQ(readFile(path), "[registry]\nhiscore = 102\n");
    EXPECT_EQ(dirEntries(dir), std::vector<std::string>{"test.conf"});
}

TEST_F(ConfigFile, FailedWritesKeepTheOldFileAndDoNotCrash) {
    // The temporary file's name is taken by a folder: the write cannot start.
    seed("[registry]\nhiscore = 100\n");
    std::string blocker = path + ".tmp-" + std::to_string(long(getpid()));
    ASSERT_EQ(mkdir(blocker.c_str(), 0700), 0);
    {
        Config c("test", Config::User);
        c.setGroup("registry");
        c.writeEntry("hiscore", 999);
    }
    EXPECT_EQ(readFile(path), "[registry]\nhiscore = 100\n");
    rmdir(blocker.c_str());

    // A settings "folder" that is a plain file cannot be created.
    std::string fileHome = home + "/plain";
    writeFile(fileHome, "x");
    setenv("XDG_CONFIG_HOME", fileHome.c_str(), 1);
    {
        Config c("test", Config::User);
        c.setGroup("registry");
        c.writeEntry("hiscore", 1);
        EXPECT_EQ(c.readNumEntry("hiscore", 0), 1); // kept in memory
    }
    EXPECT_EQ(readFile(fileHome), "x");

    // A folder without write permission (permissions do not bind root).
    if (geteuid() != 0) {
        setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        chmod(dir.c_str(), 0500);
        {
            Config c("test", Config::User);
            c.setGroup("registry");
            c.writeEntry("hiscore", 5);
        }
        chmod(dir.c_str(), 0700);
        EXPECT_EQ(readFile(path), "[registry]\nhiscore = 100\n");
    }
}

} // namespace
