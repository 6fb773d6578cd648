// Kill test: a child process saves the settings in a loop, each save with new
// values, and is killed with SIGKILL at a random moment; after every kill the
// settings file must be one whole version (all ten entries from the same save,
// and the lines the game does not know still there). At the end, temporary
// files of the killed saves must be gone once the game saves the file again.
//
//     corvus_kill_saves [kills] [seed]
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <sys/wait.h>
#include <unistd.h>

#include "audio/audio.h"
#include "game/game.h"
#include "platform/config.h"
#include "settings/settings.h"
#include "ui/ui.h"

namespace {

constexpr const char* FOREIGN = "[mine]\nkept = 1\n# a comment of the user\n";
constexpr int LONGEST_WAIT = 3000; // microseconds before a kill

// All ten entries follow from the save number n.
void setSave(int n) {
    highScore = n, musicVolume = n % 256, sfxVolume = (n * 7) % 256, musicTrack = 2;
    keyBindings = {n + 1, n + 2, n + 3, n + 4, n + 5, n + 6};
}

// The ten settings globals, in one comparable value.
auto entries() {
    const KeyBindings& k = keyBindings;
    return std::tuple(highScore, musicVolume, sfxVolume, musicTrack, k.thrust, k.left, k.right,
                      k.shields, k.fire, k.pause);
}

// Whether the globals hold all ten entries of one save.
bool isWholeSave() {
    const auto read = entries();
    setSave(highScore);
    return read == entries();
}

[[noreturn]] void saveForever() {
    loadSettings();
    for (int n = highScore + 1;; ++n) {
        setSave(n);
        saveSettings();
    }
}

int temporaries(const std::string& dir) {
    int count = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        count += e.path().filename().string().find(".tmp-") != std::string::npos;
    return count;
}

} // namespace

int main(int argc, char** argv) {
    const int kills = argc > 1 ? std::atoi(argv[1]) : 100;
    std::srand(argc > 2 ? unsigned(std::atoi(argv[2])) : 1u);
    char home[] = "/tmp/corvus-kill-XXXXXX";
    if (!mkdtemp(home)) return 2;
    setenv("XDG_CONFIG_HOME", home, 1);
    const std::string dir = Config::userDirectory();
    const std::string path = dir + "corvusraiders.conf";
    std::filesystem::create_directories(dir);
    std::ofstream(path) << FOREIGN;
    setSave(1);
    saveSettings();

    int broken = 0, leftBehind = 0, lastSave = 1;
    for (int i = 0; i < kills; ++i) {
        const pid_t child = fork();
        if (child == 0) saveForever();
        usleep(useconds_t(std::rand() % LONGEST_WAIT));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        leftBehind += temporaries(dir);

        std::ifstream in(path);
        const std::string text(std::istreambuf_iterator<char>(in), {});
        highScore = -1;
        loadSettings();
        if (!isWholeSave() || highScore < lastSave || text.find(FOREIGN) == std::string::npos) {
            ++broken;
            std::fprintf(stderr, "kill %d: not a whole save:\n%s\n", i, text.c_str());
        }
        lastSave = highScore;
    }
    setSave(lastSave + 1);
    saveSettings();
    const int remaining = temporaries(dir);
    std::printf("kill test: %d kills, %d saves made, %d broken files, %d temporaries left by "
                "kills, %d after the next save\n",
                kills, lastSave - 1, broken, leftBehind, remaining);
    std::filesystem::remove_all(home);
    return broken == 0 && remaining == 0 ? 0 : 1;
}
