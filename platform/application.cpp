// The application object: the Qt application, its icon and desktop name,
// termination signals, and the display choices made at launch.
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "platform/internal.h"
#include "platform/testdriver.h"

QApplication* application = nullptr;
HostLaunch hostLaunch;

namespace {

int grabRequests = 0;

// The icon installed with the game (share/ beside bin/, as the build tree
// has it too), else the one the desktop's icon theme knows by the game's name.
QIcon applicationIcon() {
    QIcon icon;
    const QString root = QCoreApplication::applicationDirPath();
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString path = root + QStringLiteral("/../share/icons/hicolor/%1x%1/apps/").arg(size) +
                             QStringLiteral(CORVUS_APP_ID ".png");
        if (QFile::exists(path))
            icon.addFile(path, QSize(size, size));
    }
    return icon.isNull() ? QIcon::fromTheme(QStringLiteral(CORVUS_APP_ID)) : icon;
}

} // namespace

// Termination requests (SIGTERM when the session ends, SIGINT from a terminal,
// SIGHUP when the terminal goes away) end the event loop like any other quit
// from the platform, so the shell's teardown runs and the sound device is
// closed. The handler only writes a byte into a pipe; the GUI thread reads it.
// A request that comes before the event loop runs (while the application is
// made, the pictures and sounds are loaded, or a slow device is opened) ends
// the process at once with status 0: nothing has been saved yet that a
// teardown would have to finish, and the start may be waiting on something
// that never answers. The handlers are in place before the windowing system
// and the sound library start; the sound library then leaves them alone (it
// would otherwise catch SIGTERM and never act on it). A signal the process was
// started with ignored (nohup, a background job) stays ignored.
namespace {
constexpr int QUIT_SIGNALS[] = {SIGTERM, SIGINT, SIGHUP};
int quitPipe[2] = {-1, -1};     // read end, write end
bool quitRequested = false;     // a quit signal has been read on the GUI thread
volatile sig_atomic_t loopStarted = 0; // the event loop has been entered once
volatile sig_atomic_t workOutsideLoop = 0; // the run's work is done outside the loop

// Before the loop: the end (by the signal itself for a run whose work is done
// outside the loop). In the loop: the first request is passed on; the signal
// then takes its default action again, so that a second request ends a game
// that no longer answers.
void onQuitSignal(int sig) {
    if (!loopStarted && workOutsideLoop) {
        signal(sig, SIG_DFL);
        raise(sig);  // blocked until this handler returns, then fatal
        return;
    }
    if (!loopStarted)
        _exit(0);
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(quitPipe[1], &byte, 1);
    signal(sig, SIG_DFL);
    errno = saved;
}

void catchQuitSignals() {
    if (pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    for (int sig : QUIT_SIGNALS) {
        struct sigaction now {};
        if (sigaction(sig, nullptr, &now) != 0 || now.sa_handler == SIG_IGN)
            continue;
        struct sigaction quit {};
        quit.sa_handler = onQuitSignal;
        sigemptyset(&quit.sa_mask);
        quit.sa_flags = SA_RESTART;
        sigaction(sig, &quit, nullptr);
    }
}

// Reads the pipe on the GUI thread once the application exists.
void watchQuitPipe() {
    if (quitPipe[0] < 0)
        return;
    auto* notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, application);
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char bytes[16];
        while (read(quitPipe[0], bytes, sizeof bytes) > 0) {
        }
        quitRequested = true;
        QCoreApplication::quit();
    });
}

void releaseQuitSignals() {
    if (quitPipe[0] < 0)
        return;
    for (int sig : QUIT_SIGNALS) {
        struct sigaction now {};
        if (sigaction(sig, nullptr, &now) == 0 && now.sa_handler == onQuitSignal)
            signal(sig, SIG_DFL);
    }
    close(quitPipe[0]);
    close(quitPipe[1]);
    quitPipe[0] = quitPipe[1] = -1;
}
} // namespace

// A second application object (a test that wraps the entry function) shares
// the Qt application of the first and leaves it alone when destroyed.
PlatformApplication::PlatformApplication(int& argc, char** argv) {
    if (!QCoreApplication::instance()) {
        catchQuitSignals();
        application = new QApplication(argc, argv);
        ownsApplication_ = true;
        watchQuitPipe();
        detectAutoRepeat();
        // The desktop matches the window to the installed entry and icon.
        QGuiApplication::setDesktopFileName(QStringLiteral(CORVUS_APP_ID));
        QApplication::setWindowIcon(applicationIcon());
    }
}

PlatformApplication::~PlatformApplication() {
    if (ownsApplication_) {
        releaseQuitSignals();
        delete application;
        application = nullptr;
    }
}

void PlatformApplication::workOutsideTheLoop() {
    workOutsideLoop = 1;
}

int PlatformApplication::exec() {
    // From here on a request reaches the loop (one that came before it has
    // ended the process already).
    loopStarted = 1;
    if (quitRequested)
        return 0;
    return QApplication::exec();
}

void PlatformApplication::quit() {
    quitRequested = true;
    QCoreApplication::quit();
}

bool PlatformApplication::quitting() {
    return quitRequested;
}

void PlatformApplication::processEvents() {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

// On the device the main widget is shown maximised on the whole screen; the
// host window shows the whole device screen in any case.
void PlatformApplication::showMainWidget(DeviceWidget* w, bool /*noMaximize*/) {
    if (w)
        w->showNormal();
}

// A desktop has no hardware keys that could be taken from other programs: the
// request is only counted. The game window receives every key while it has the
// focus anyway.
void PlatformApplication::grabKeyboard() {
    ++grabRequests;
}

int testdriver::keyboardGrabs() {
    return grabRequests;
}

void setHostLaunch(const HostLaunch& launch) {
    hostLaunch = launch;
}
