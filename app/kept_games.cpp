// The games a player keeps: beside the last and the best game, the state
// folder's games/ holds the newest KEPT_GAMES games, each named by the date
// and time it was saved and its score, so that the names sort oldest first.
// --replays lists them; anything else in the folder is left alone.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <unistd.h>
#include <vector>

#include "app/replay.h"
#include "platform/paths.h"

namespace {

constexpr size_t KEPT_GAMES = 20;
constexpr const char* GAMES_FOLDER = "games/";
constexpr const char* SUFFIX = ".replay";
constexpr size_t STAMP_LENGTH = 19;            // "YYYY-MM-DD_HH-MM-SS"
constexpr int FRAMES_PER_SECOND = 50;          // the 20 ms tick

std::string gamesFolder() {
    const std::string dir = stateDirectory();
    return dir.empty() ? dir : dir + GAMES_FOLDER;
}

// "YYYY-MM-DD_HH-MM-SS_<score>[-n].replay", the form this file writes.
bool isKeptName(const char* name) {
    static const char SHAPE[] = "dddd-dd-dd_dd-dd-dd_";
    for (size_t i = 0; i < sizeof SHAPE - 1; ++i) {
        const char c = name[i];
        if (SHAPE[i] == 'd' ? (c < '0' || c > '9') : c != SHAPE[i])
            return false;
    }
    const size_t length = std::strlen(name), suffix = std::strlen(SUFFIX);
    return length > sizeof SHAPE - 1 + suffix && std::strcmp(name + length - suffix, SUFFIX) == 0;
}

// The kept games' names, oldest first.
std::vector<std::string> keptNames(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (isKeptName(e->d_name))
                names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

std::string keptGamePath(int32_t points) {
    const std::string folder = gamesFolder();
    if (folder.empty())
        return folder;
    const time_t now = std::time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char stamp[STAMP_LENGTH + 1];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
    const std::string base = folder + stamp + "_" + std::to_string(points);
    std::string path = base + SUFFIX;
    // A second game saved within the same second (another copy of the game)
    // gets a name of its own.
    for (int n = 2; access(path.c_str(), F_OK) == 0 && n < 100; ++n)
        path = base + "-" + std::to_string(n) + SUFFIX;
    return path;
}

void pruneKeptGames() {
    const std::string folder = gamesFolder();
    const std::vector<std::string> names = keptNames(folder);
    for (size_t i = 0; i + KEPT_GAMES < names.size(); ++i)
        unlink((folder + names[i]).c_str());
}

// Newest first, one line each: the path (what --replay takes), then the date
// and time, the score, the level reached and the length, separated by tabs.
// A file that cannot be played says why instead.
int listKeptGames() {
    const std::string folder = gamesFolder();
    if (folder.empty()) {
        std::fputs("corvusraiders: no home folder, so no games are kept\n", stderr);
        return 2;
    }
    std::vector<std::string> names = keptNames(folder);
    std::reverse(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string path = folder + name;
        ReplayFile file;
        std::string error;
        if (!loadReplay(path, file, error)) {
            // The reason without the path that loadReplay put in front.
            const size_t at = error.rfind(path, 0) == 0 ? path.size() + 1 : 0;
            std::printf("%s\tdamaged: %s\n", path.c_str(), error.c_str() + std::min(at, error.size()));
            continue;
        }
        const std::string date = name.substr(0, 10), time = name.substr(11, 8);
        const ReplayFacts& f = file.facts;
        std::printf("%s\t%s %c%c:%c%c:%c%c\t%d points\tlevel %d\t%u s%s\n", path.c_str(), date.c_str(),
                    time[0], time[1], time[3], time[4], time[6], time[7], f.score, f.level,
                    f.frames / FRAMES_PER_SECOND, f.endedEarly() ? "\tended early" : "");
    }
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}
