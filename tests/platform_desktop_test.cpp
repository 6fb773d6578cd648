// The game on real display servers: keys held down through XTest and the pen
// and the picture at a fractional desktop scale on an X server while the
// machine is busy, and the native Wayland platform under a real compositor
// that scales its output by 2. Each test skips, saying why, where its servers
// are missing.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QLibraryInfo>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <algorithm>
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
        pid = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1600x1200x24",
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

// Whether the game's window, read back from the X server, is exactly the
// framebuffer as last presented at `scale` native pixels per pixel.
bool windowShowsFramebufferAt(int scale) {
    QWidget* window = hostWindow(theWidget);
    QImage shot = window->screen()->grabWindow(window->winId()).toImage().convertToFormat(
        QImage::Format_RGB32);
    shot.setDevicePixelRatio(1);
    const QImage frame(testdriver::deviceFrameBuffer(), DEVICE_WIDTH, DEVICE_HEIGHT,
                       QImage::Format_RGB16);
    return shot.size() == frame.size() * scale &&
           shot == frame.scaled(shot.size()).convertToFormat(QImage::Format_RGB32);
}

// Desktop scale of the X11 test: each window pixel is 1.25 native pixels, so
// the tiles' edges fall between window pixels. On its 1600 x 1200 screen the
// window opens at scale 3, 720 x 960 native pixels.
constexpr const char* X11_SCALE_FACTOR = "1.25";
constexpr int X11_SCALE = 3;

// Steps of the X11 test: a command, then what must hold once it has ended
// and a few frames have run.
struct Step { std::string command; std::function<bool()> done; };

// A click on native pixel `dx` to the right of the first native pixel of
// screen pixel (x, y), in the X11 test's window.
std::string click(int x, int y, int dx) {
    return "xdotool mousemove --window %1 " + std::to_string(x * X11_SCALE + dx) + " " +
           std::to_string(y * X11_SCALE) + " click 1";
}

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
    const std::string dir = makeTempDir("verify");
    // The check needs no display, and leaves the session's alone.
    const int status = runExecutable("-u DISPLAY -u WAYLAND_DISPLAY QPEDIR='" + qpeRoot + "'",
                                     "--replay '" + file + "' --verify", dir);
    return std::to_string(status) + " " + readTextFile(dir + "out") + readTextFile(dir + "err");
}

// In a child process: the real entry function on the X server, its desktop
// scaled by 125 %, with three busy loops beside it. XTest holds keys down for
// 1.5 s, longer than the server waits before it repeats them: on the title
// that must open the menu only, and in play a held fire key must launch one
// shot. Clicks on the first native pixel of the effect slider and of the new
// game item, and on the one just left of the item, must act as on those
// pixels, and the window must show the menu's framebuffer pixel for pixel.
// Then the X server is killed in the middle of the game, and the process ends
// as the windowing system ends it (status 1); a step that failed ends it with
// 10 + the step.
[[noreturn]] void holdKeysOnABusyXServer(const std::string& display, pid_t server) {
    setenv("DISPLAY", display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    setenv("QT_SCALE_FACTOR", X11_SCALE_FACTOR, 1);
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
        {click(88, 130, 0),
         [] { return sfxVolume == 0 && windowShowsFramebufferAt(X11_SCALE); }},
        {click(10, 280, -1), [] { return gameState == STATE_MENU; }},
        {click(10, 280, 0), [] { return gameState == STATE_PLAYING; }},
        {"xdotool keydown space sleep 1.5 keyup space", [&run] { return run.launches == 1; }},
        {killServer.c_str(), [] { return false; }},
    };
    QCoreApplication::instance()->installEventFilter(&run);
    corvusMain(argc, argv);
    _exit(9);  // the game went on without its display
}

TEST(Desktop, HeldKeysPenAndPictureExactAt125PercentAndTheGameOutlivesTheXServer) {
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

// Weston's output scale in the Wayland test, and the whole scale the game
// then shows on its 1600 x 1200 output (800 x 600 window pixels).
constexpr int WESTON_OUTPUT_SCALE = 2;
constexpr int WESTON_GAME_SCALE = 3;

// In a child process on the X server that weston draws into: reads the whole
// screen back, for up to `seconds`, until `picture` shows in it (placed by the
// first pixel of its top-left pixel's colour). Ends the process with 42 when
// it does, with 1 otherwise.
[[noreturn]] void waitForPicture(const std::string& display, const QImage& picture, int seconds) {
    setenv("DISPLAY", display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    static int argc = 1;
    static char name[] = "reader";
    static char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    const QImage want = picture.convertToFormat(QImage::Format_RGB32);
    for (int tries = 0; tries < seconds * 10; ++tries) {
        const QImage shot = app.primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
        const auto* pixels = reinterpret_cast<const QRgb*>(shot.constBits());
        const auto first = std::find(pixels, pixels + shot.width() * shot.height(), want.pixel(0, 0)) - pixels;
        if (shot.copy(QRect(QPoint(int(first % shot.width()), int(first / shot.width())), want.size())) == want)
            _exit(42);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    _exit(1);
}

// The real executable on Qt's Wayland platform under weston, its output
// scaled by 2. Weston's headless back-end has no keyboard, so weston runs on
// its X11 back-end inside Xvfb, where XTest keys reach it as its seat's
// keyboard and weston hands them to the game as any Wayland client gets them.
// A first run shows its title crisp, each pixel a square of native pixels of
// the output (the picture weston shows in its X window), and ends with status
// 0 on a termination request. A second takes keys to start a game and loses
// its compositor in the middle of it: the windowing system ends it with
// status 1, and the game is kept.
TEST(Desktop, NativeWaylandUnderWestonScaledBy2TakesKeysShowsCrispPixelsAndOutlivesIt) {
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
                                "--width=800", "--height=600",
                                "--scale=" + std::to_string(WESTON_OUTPUT_SCALE),
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
    // The title of the test pictures (the banner's rows 20 to 79 over the
    // title's colour), and a pixel of the play field's background.
    QImage title(DEVICE_WIDTH, DEVICE_HEIGHT, QImage::Format_RGB16), background(1, 1, QImage::Format_RGB16);
    title.fill(testPictureColour(6));
    for (int y = 20; y < 80; ++y)
        std::fill_n(reinterpret_cast<uint16_t*>(title.scanLine(y)), DEVICE_WIDTH, testPictureColour(4));
    background.fill(testPictureColour(1));
    const pid_t run = spawn(game);
    // Weston's pointer, off the window.
    EXPECT_EQ(exitStatus(spawn({"xdotool", "mousemove", "0", "0"}), 20), 0);
    const pid_t reader = fork();
    if (reader == 0)
        waitForPicture(x.display, title.scaled(title.size() * WESTON_GAME_SCALE), 30);
    EXPECT_EQ(exitStatus(reader, 40), 42) << "the title is not shown crisp at scale "
                                          << WESTON_GAME_SCALE;
    EXPECT_EQ(stop(run, SIGTERM), 0);

    // Space takes the title to the menu, starts a game there and fires in it;
    // the compositor goes once the play field shows, however long the game
    // took to get there.
    const pid_t played = spawn(game);
    const pid_t fire = spawn({"sh", "-c", "while :; do xdotool key space; sleep 0.5; done"});
    const pid_t playing = fork();
    if (playing == 0)
        waitForPicture(x.display, background, 60);
    EXPECT_EQ(exitStatus(playing, 70), 42) << "no game started";
    stop(fire, SIGKILL);
    EXPECT_EQ(stop(weston, SIGKILL), -1);
    EXPECT_EQ(exitStatus(played, 20), 1);
    const std::string said = verifyKept(home, root);
    EXPECT_NE(said.find("ended early"), std::string::npos) << said;
}

} // namespace
