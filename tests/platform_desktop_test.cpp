// The game on real display servers: keys held down through XTest on an X
// server while the machine is busy, and the native Wayland platform under a
// real compositor. Each test skips, saying why, where its servers are missing.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLibraryInfo>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/host.h"
#include "support/runner.h"

namespace {

bool installed(const char* tool) {
    return std::system(("command -v " + std::string(tool) + " >/dev/null").c_str()) == 0;
}

// Starts a program of the test's own; it dies with the process that started it.
pid_t spawn(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0)
        std::abort();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() == parent)
            execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// The exit status of `pid` within `seconds`, else -1 (it is then killed).
int exitStatus(pid_t pid, int seconds) {
    int status = 0;
    for (int waited = 0; waited < seconds * 20; ++waited) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

// Sends `pid` the signal; its exit status as exitStatus gives it.
int stop(pid_t pid, int signal) {
    kill(pid, signal);
    return exitStatus(pid, 20);
}

// A virtual X server on a free display, for the test's lifetime.
struct XServer {
    pid_t pid = 0;
    std::string display;  // ":N"; empty when the server did not start
    XServer() {
        int fds[2];
        if (pipe(fds) != 0)
            std::abort();
        pid = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24",
                     "-nolisten", "tcp"});
        close(fds[1]);
        pollfd ready{fds[0], POLLIN, 0};
        char number[16] = {};
        if (poll(&ready, 1, 20000) == 1 && read(fds[0], number, sizeof number - 1) > 0)
            display = ":" + std::to_string(std::atoi(number));
        close(fds[0]);
    }
    ~XServer() { stop(pid, SIGTERM); }
};

// Steps of the X11 test: a command, then what must hold once it has ended
// and a few frames have run.
struct Step { const char* command; std::function<bool()> done; };

// Runs the steps one after another, at the start of each frame of the game
// window, and counts the shots launched since the last step began (a slot
// that is newly active, or active again with a shorter distance flown).
struct StepRunner : QObject {
    std::vector<Step> steps;
    size_t next = 0;
    pid_t command = 0;
    int settle = 0;  // frames left before the step just sent is judged
    int launches = 0;
    float flown[SHOT_SLOTS] = {};  // distance of each active shot; -1 when free
    bool eventFilter(QObject* to, QEvent* e) override {
        if (e->type() != QEvent::Timer || !theWidget || to != hostWindow(theWidget))
            return false;
        for (int i = 0; i < SHOT_SLOTS; ++i) {
            const float now = shotSprites[i]->isActive() ? shotDistance[i] : -1.0f;
            launches += now >= 0.0f && (flown[i] < 0.0f || now < flown[i]);
            flown[i] = now;
        }
        if ((command && waitpid(command, nullptr, WNOHANG) == 0) || settle-- > 0)
            return false;
        command = 0;
        if (next > 0 && !steps[next - 1].done())
            _exit(10 + int(next - 1));
        if (next == steps.size()) {
            raise(SIGTERM);
            return false;
        }
        std::string line = steps[next++].command;
        if (const size_t at = line.find("%1"); at != std::string::npos)
            line.replace(at, 2, std::to_string(hostWindow(theWidget)->winId()));
        command = spawn({"sh", "-c", line});
        launches = 0;
        settle = 10;
        return false;
    }
};

// Waits up to ten seconds for the keeper to save the game under way, then
// verifies it: what --verify says, which must be that it ended early.
std::string verifyKept(const std::string& stateHome, const std::string& qpeRoot) {
    const std::string file = stateHome + "corvusraiders/last.replay";
    for (int i = 0; i < 200 && !std::filesystem::exists(file); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::string out = makeTempDir("verify") + "out";
    const std::string command = "QPEDIR='" + qpeRoot + "' '" CORVUS_BIN_DIR "/corvusraiders' --replay '" +
                                file + "' --verify >'" + out + "' 2>&1";
    const int status = std::system(command.c_str());
    return std::to_string(status) + " " + readTextFile(out);
}

// In a child process: the real entry function on the X server, with three
// busy loops beside it. XTest holds keys down for 1.5 s, longer than the
// server waits before it repeats them: on the title that must open the menu
// only, and in play a held fire key must launch one shot. Then the X server
// is killed in the middle of the game, and the process ends as the windowing
// system ends it (status 1); a step that failed ends it with 10 + the step.
[[noreturn]] void holdKeysOnABusyXServer(const std::string& display, pid_t server) {
    setenv("DISPLAY", display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    for (int i = 0; i < 3; ++i)
        spawn({"sh", "-c", "while :; do :; done"});
    static int argc = 1;
    static char name[] = "corvusraiders";
    static char* argv[] = {name, nullptr};
    PlatformApplication outer(argc, argv);  // the test's filter is in place before the game starts
    const std::string killServer = "kill -9 " + std::to_string(server);
    StepRunner run;
    run.steps = {
        {"xdotool windowfocus --sync %1",
         [] { return theWidget->isActiveWindow() && gameState == STATE_TITLE; }},
        {"xdotool keydown a sleep 1.5 keyup a", [] { return gameState == STATE_MENU; }},
        {"xdotool key n", [] { return gameState == STATE_PLAYING; }},
        {"xdotool keydown space sleep 1.5 keyup space", [&run] { return run.launches == 1; }},
        {killServer.c_str(), [] { return false; }},
    };
    QCoreApplication::instance()->installEventFilter(&run);
    corvusMain(argc, argv);
    _exit(9);  // the game went on without its display
}

TEST(Desktop, HeldKeysCountOnceOnABusyXServerAndTheGameOutlivesIt) {
    if (!installed("Xvfb") || !installed("xdotool"))
        GTEST_SKIP() << "needs Xvfb and xdotool (scripts/deps.sh installs them)";
    XServer x;
    ASSERT_FALSE(x.display.empty()) << "Xvfb did not start";
    const std::string root = makeTestDataRoot(), home = makeTempDir("state");
    setenv("QPEDIR", root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    setenv("XDG_STATE_HOME", home.c_str(), 1);
    const pid_t game = fork();
    if (game == 0)
        holdKeysOnABusyXServer(x.display, x.pid);
    EXPECT_EQ(exitStatus(game, 120), 1);
    const std::string said = verifyKept(home, root);
    EXPECT_NE(said.find("ended early"), std::string::npos) << said;
}

// The real executable on Qt's Wayland platform under weston. Weston's
// headless back-end has no keyboard, so weston runs on its X11 back-end
// inside Xvfb, where XTest keys reach it as its seat's keyboard and weston
// hands them to the game as any Wayland client gets them. Escape, sent every
// half second, takes the game from the title through the menu to the exit
// screen, which ends it with status 0: the game started and took keys. A
// second run ends with status 0 on a termination request. A third starts a
// game and loses its compositor in the middle of it: the windowing system
// ends it with status 1, and the game is kept.
TEST(Desktop, NativeWaylandUnderWestonTakesKeysAndEndsOnRequest) {
    const std::string plugin = QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString() +
                               "/platforms/libqwayland-generic.so";
    if (!installed("Xvfb") || !installed("xdotool") || !installed("weston") ||
        !std::filesystem::exists(plugin))
        GTEST_SKIP() << "needs Xvfb, xdotool, weston and qt6-wayland (scripts/deps.sh installs them)";
    XServer x;
    ASSERT_FALSE(x.display.empty()) << "Xvfb did not start";
    const std::string runtime = makeTempDir("runtime"), socket = "corvus-test";
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("DISPLAY", x.display.c_str(), 1);
    const pid_t weston = spawn({"weston", "--backend=x11-backend.so", "--socket=" + socket,
                                "--idle-time=0", "--log=" + runtime + "log"});
    for (int i = 0; i < 200 && !std::filesystem::exists(runtime + socket); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // Under the sanitizers: the Wayland client library and fontconfig (the
    // title bar) keep memory to the end, which is not the game's to free.
    const std::string root = makeTestDataRoot(), home = makeTempDir("state");
    const std::vector<std::string> game = {
        "env", "-u", "DISPLAY", "QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=" + socket,
        "QPEDIR=" + root, "XDG_CONFIG_HOME=" + home, "XDG_STATE_HOME=" + home,
        "SDL_AUDIODRIVER=dummy", "ASAN_OPTIONS=detect_leaks=0", CORVUS_BIN_DIR "/corvusraiders"};
    const pid_t keys = spawn({"sh", "-c", "while :; do xdotool key Escape; sleep 0.5; done"});
    EXPECT_EQ(exitStatus(spawn(game), 30), 0) << "the game did not take its keys";
    stop(keys, SIGKILL);
    const pid_t run = spawn(game);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_EQ(stop(run, SIGTERM), 0);

    // Space takes the title to the menu, starts a game there and fires in it.
    const pid_t played = spawn(game);
    const pid_t fire = spawn({"sh", "-c", "while :; do xdotool key space; sleep 0.5; done"});
    std::this_thread::sleep_for(std::chrono::seconds(5));
    stop(fire, SIGKILL);
    EXPECT_EQ(stop(weston, SIGKILL), -1);
    EXPECT_EQ(exitStatus(played, 20), 1);
    const std::string said = verifyKept(home, root);
    EXPECT_NE(said.find("ended early"), std::string::npos) << said;
}

} // namespace
