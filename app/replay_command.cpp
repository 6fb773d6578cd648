// --replay: a recorded game shown in the window, or verified headless at full
// speed against everything its recording says.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <utility>

#include "app/app.h"
#include "app/replay.h"
#include "platform/platform.h"
#include "settings/settings.h"

namespace {
constexpr const char* CAPTION_PREFIX = "CorvusRaiders: replay of ";

// Without a file: the best game, or the last one before any game has set a
// new high score; which one is said on standard error. Empty when there is
// neither.
std::string defaultReplay() {
    const std::string best = bestReplayPath(), last = lastReplayPath();
    if (best.empty()) {
        std::fputs("corvusraiders: no home folder, so no game has been kept to show\n", stderr);
        return best;
    }
    for (const auto& [file, what] : {std::pair{best, "the best game"}, {last, "the last game"}}) {
        if (access(file.c_str(), F_OK) == 0) {
            std::fprintf(stderr, "corvusraiders: showing %s, %s\n", what, file.c_str());
            return file;
        }
    }
    std::fprintf(stderr, "corvusraiders: no game has been kept yet in %s\n",
                 best.substr(0, best.rfind('/') + 1).c_str());
    return std::string();
}
} // namespace

int runReplay(const char* path, bool verify, int argc, char** argv) {
    const std::string file = path ? std::string(path) : defaultReplay();
    ReplayFile replay;
    std::string error;
    if (file.empty())
        return 2;
    if (!loadReplay(file, replay, error)) {
        std::fprintf(stderr, "corvusraiders: %s\n", error.c_str());
        return 2;
    }
    if (verify) {
        // No display and no sound card needed, whatever the session has.
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    replayMode = verify ? ReplayMode::VERIFY : ReplayMode::WATCH;
    seamUseSource(InputSource::PLAYED);
    holdSettingsWrites(true);

    int platformArgc = argc > 0 ? 1 : 0;
    PlatformApplication app(platformArgc, argv);
    if (verify)
        PlatformApplication::workOutsideTheLoop();  // stopped is neither passed nor failed
    if (!initApplication()) {
        std::fputs("corvusraiders: the game window could not be created\n", stderr);
        return 2;
    }
    // The window's title names the game it shows.
    theWidget->setCaption((CAPTION_PREFIX + file.substr(file.rfind('/') + 1)).c_str());
    // A set-up failure has been shown in its box already.
    if (verify ? !setupResources() : !theWidget->start()) {
        shutdown();
        return 2;
    }
    if (!playerStart(replay, error)) {
        std::fprintf(stderr, "corvusraiders: %s %s\n", file.c_str(), error.c_str());
        shutdown();
        return 2;
    }

    int status = 0;
    if (verify) {
        const auto begun = std::chrono::steady_clock::now();
        while (!playerFinished())
            runFrame();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
        if (const char* what = playerDivergence()) {
            std::printf("%s: differs at %s\n", file.c_str(), what);
            status = 1;
        } else {
            std::printf("%s: %u frames verified in %.2f s (%.0f frames per second)\n",
                        file.c_str(), playerFrames(), seconds,
                        seconds > 0 ? playerFrames() / seconds : 0.0);
            if (replay.facts.endedEarly())
                std::printf("%s: ended early: the program was closed while this game went on, "
                            "and the recording stops at its last whole frame\n",
                            file.c_str());
        }
    } else {
        app.exec();
        if (const char* what = playerDivergence()) {
            std::fprintf(stderr, "corvusraiders: %s differs from its recording at %s\n", file.c_str(),
                         what);
            status = 1;
        }
    }
    shutdown();
    return status;
}
