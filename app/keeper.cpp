// The keeper: a small second process, started before the windowing system,
// that outlives the game to save what the game could not save itself.
//
// When the display connection breaks, the windowing system ends the game's
// process on the spot (under Wayland from a thread of its own, with no exit
// handler run at all), so neither the game under way nor the settings changed
// in the menus would reach the disk. The keeper shares the recording's memory
// and a copy of the settings with the game. It waits for the game's process
// to end, which closes a pipe the game holds open; unless the game said it
// had saved everything itself, the keeper then saves the game under way as
// ended early and the settings, the way the game's own teardown does, and
// leaves.
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include "app/app.h"
#include "app/replay.h"
#include "settings/settings.h"

namespace {

// Written by the game only: after each frame, and at its orderly end.
struct KeeperShare {
    bool published;               // the values below are the game's own
    bool done;                    // the game saved everything itself
    int32_t highScore;            // points
    int32_t musicVolume, sfxVolume;  // 0..255 from the sliders
    int32_t musicTrack;
    KeyBindings keys;
};

KeeperShare* share = nullptr;
int lifeline = -1;                // write end of the pipe the keeper waits on

// The session's end reaches the whole process group; the keeper stays to do
// its work and goes by itself as soon as the game has gone.
constexpr int IGNORED_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT};

[[noreturn]] void keep(int waitOn) {
    prctl(PR_SET_NAME, "corvus-keeper");
    for (int sig : IGNORED_SIGNALS)
        signal(sig, SIG_IGN);
    for (;;) {
        char byte;
        const ssize_t n = read(waitOn, &byte, 1);
        if (n == 0 || (n < 0 && errno != EINTR))
            break;
    }
    if (!share->done) {
        recorderSaveUnderWay(true);
        if (share->published) {
            highScore = share->highScore;
            musicVolume = share->musicVolume;
            sfxVolume = share->sfxVolume;
            musicTrack = share->musicTrack;
            keyBindings = share->keys;
            saveSettings();
        }
    }
    _exit(0);
}

} // namespace

void startKeeper() {
    recorderPrepare();
    void* memory = mmap(nullptr, sizeof(KeeperShare), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    int fds[2];
    if (memory == MAP_FAILED || pipe2(fds, O_CLOEXEC) != 0)
        return;  // the game runs as before: it saves on its own way out
    share = static_cast<KeeperShare*>(memory);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[1]);
        keep(fds[0]);
    }
    close(fds[0]);
    if (pid < 0) {
        close(fds[1]);
        share = nullptr;
        return;
    }
    lifeline = fds[1];
}

void keeperFrameEnd() {
    if (!share)
        return;
    share->highScore = highScore;
    share->musicVolume = musicVolume;
    share->sfxVolume = sfxVolume;
    share->musicTrack = musicTrack;
    share->keys = keyBindings;
    share->published = true;
}

void keeperDone() {
    if (!share)
        return;
    share->done = true;
    close(lifeline);
    lifeline = -1;
    share = nullptr;  // the mapping stays: the keeper may still be reading it
}
