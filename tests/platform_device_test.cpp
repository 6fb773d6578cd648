// The device platform over Qt: key numbering, pen mapping through the host
// window's scale, border and rotation, presenting, the whole-monitor switch,
// the pointer, activation and the installation directory.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/testdriver.h"
#include "support/runner.h"
#include "ui/ui.h"

namespace {

// Records what reaches the device widget: pen events as "p10,20 " (p press,
// m move, r release), keys as device codes, negated for a release. The
// application is made first: the widget's window needs it.
struct Recorder : DeviceWidget {
    Recorder() : DeviceWidget((ensureTestApplication(), "Recorder"), WIDGET_STYLE_CUSTOMIZE) {}
    std::string pens;
    std::vector<int> keys;
    bool atOnce = false;
    int focusIns = 0, focusOuts = 0;
    void pen(char kind, const PenEvent& e) {
        pens += kind + std::to_string(e.x) + ',' + std::to_string(e.y) + ' ';
    }
    void keyPressEvent(const KeyEvent& e) override { keys.push_back(e.key); }
    void keyReleaseEvent(const KeyEvent& e) override { keys.push_back(-e.key); }
    bool wantsKeyAtOnce(int key) const override { return atOnce && key == 0x1023; }  // Alt
    void mousePressEvent(const PenEvent& e) override { pen('p', e); }
    void mouseMoveEvent(const PenEvent& e) override { pen('m', e); }
    void mouseReleaseEvent(const PenEvent& e) override { pen('r', e); }
    void focusInEvent() override { ++focusIns; }
    void focusOutEvent() override { ++focusOuts; }
};

TEST(KeyCodes, HostKeysBecomeDeviceKeys) {
    // Special keys keep their number in the device's special range; codes
    // beyond that range, negative ones and the unknown key become unknown.
    const int cases[][2] = {
        {Qt::Key_Up, KEY_UP}, {Qt::Key_Left, KEY_LEFT}, {Qt::Key_Right, KEY_RIGHT},
        {Qt::Key_Down, KEY_DOWN}, {Qt::Key_Space, KEY_SPACE}, {Qt::Key_F11, KEY_F11},
        {Qt::Key_Escape, KEY_ESCAPE}, {Qt::Key_Return, 0x1004}, {Qt::Key_F12, 0x103b},
        {Qt::Key_A, 'A'}, {Qt::Key_Z, 'Z'}, {Qt::Key_5, '5'}, {0x01000fff, 0x1fff},
        {0x01001000, 0xffff}, {Qt::Key_unknown, 0xffff}, {-7, 0xffff}, {0, 0}};
    for (const auto& [qt, device] : cases)
        EXPECT_EQ(deviceKeyCode(qt), device) << std::hex << qt;
}

// A mouse event at window point `at`; moves carry `button` as held.
void sendButton(QWidget* host, QEvent::Type type, QPoint at, Qt::MouseButton button) {
    QMouseEvent e(type, QPointF(at), host->mapToGlobal(QPointF(at)),
                  type == QEvent::MouseMove ? Qt::NoButton : button,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QCoreApplication::sendEvent(host, &e);
}

TEST(Pen, FollowsScaleBorderAndRotation) {
    // Device pixel (10, 20) is shown at framebuffer (col, row); `after`: the
    // pen one window column to its right, then released out in the top-left
    // border (held on the screen). A rotation chosen at launch (0..3, -1
    // none) replaces the display's.
    struct Case { const char* display; int launch, orientation, col, row; const char* after; };
    const Case cases[] = {
        {"Transformed:Rot0", -1, 0, 10, 20, "m11,20 r0,0"},
        {"Transformed:Rot90:0", -1, 1, 20, 229, "m10,21 r239,0"},
        {"Transformed:Rot270", -1, 3, 299, 10, "m10,19 r0,319"},
        {"Transformed:Rot180", -1, 2, 229, 299, "m9,20 r239,319"},
        {"LinuxFb:Rot90", -1, 0, 10, 20, "m11,20 r0,0"},  // only a transformed display turns
        {"Transformed:Rot270", 1, 1, 20, 229, "m10,21 r239,0"},
        {"Transformed:Rot90", 0, 0, 10, 20, "m11,20 r0,0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.display);
        setenv("QWS_DISPLAY", c.display, 1);
        setHostLaunch(HostLaunch{false, 0, c.launch});
        ASSERT_EQ(DirectPainter::transformOrientation(), c.orientation);
        Recorder r;
        DeviceWidget::Host* host = r.host();
        // Scale 3 with a border of 20 left and right and 50 above and below.
        host->resize(host->physicalWidth * 3 + 40, host->physicalHeight * 3 + 100);
        const QPoint inPixel(20 + c.col * 3 + 2, 50 + c.row * 3 + 1);
        // Not the pen: another button, or a press on the border next to the screen.
        sendButton(host, QEvent::MouseButtonPress, inPixel, Qt::RightButton);
        sendButton(host, QEvent::MouseButtonPress, QPoint(19, 49), Qt::LeftButton);
        sendButton(host, QEvent::MouseButtonRelease, QPoint(19, 49), Qt::LeftButton);
        sendButton(host, QEvent::MouseButtonPress, inPixel, Qt::LeftButton);
        sendButton(host, QEvent::MouseMove, inPixel + QPoint(3, 0), Qt::LeftButton);
        sendButton(host, QEvent::MouseButtonRelease, QPoint(0, 0), Qt::LeftButton);
        sendButton(host, QEvent::MouseMove, inPixel, Qt::NoButton);
        // The test driver's inverse mapping lands on the same device pixels.
        testdriver::sendMouse(239, 319, 0);
        testdriver::sendMouse(0, 0, 2);
        EXPECT_EQ(r.pens, std::string("p10,20 ") + c.after + " p239,319 r0,0 ");
    }
    unsetenv("QWS_DISPLAY");
    setHostLaunch(HostLaunch());
}

TEST(LaunchChoices, ScaleAndFullScreenShapeTheFirstWindow) {
    for (bool fullScreen : {false, true}) {
        setHostLaunch(HostLaunch{fullScreen, 2, 3});
        Recorder r;
        r.showNormal();
        QApplication::processEvents();
        EXPECT_EQ(r.host()->isFullScreen(), fullScreen);
        EXPECT_EQ(r.host()->size(), fullScreen ? r.host()->screen()->size() : QSize(640, 480));
    }
    setHostLaunch(HostLaunch());
}

// Puts new pseudo-random pixels into `count` pixels of `frame` from `from`
// on, and presents the whole frame.
void present(std::vector<uint16_t>& frame, int from, int count) {
    static uint32_t seed = 7;
    for (int i = from; i < from + count; ++i)
        frame[i] = uint16_t((seed = seed * 1103515245u + 12345u) >> 12);
    DirectPainter painter(nullptr);
    std::memcpy(painter.frameBuffer(), frame.data(), FRAMEBUFFER_BYTES);
}

// Whether the window, read back from the screen as shown, is `frame` scaled
// by the window's whole factor, nearest neighbour, centred on black.
bool showsFrame(Recorder& r, const std::vector<uint16_t>& frame) {
    QApplication::processEvents();
    DeviceWidget::Host* host = r.host();
    const int fbW = host->physicalWidth, fbH = host->physicalHeight;
    const QImage shot = host->screen()->grabWindow(host->winId()).toImage().convertToFormat(
        QImage::Format_RGB32);
    const int s = wholeScale(shot.width(), shot.height(), fbW, fbH);
    QImage want(shot.size(), QImage::Format_RGB32);
    want.fill(Qt::black);
    QPainter(&want).drawImage(
        QRect((shot.width() - fbW * s) / 2, (shot.height() - fbH * s) / 2, fbW * s, fbH * s),
        QImage(reinterpret_cast<const uchar*>(frame.data()), fbW, fbH, QImage::Format_RGB16));
    return shot == want;
}

TEST(Presenting, WindowShowsTheFramebufferAtEveryScaleRotationChangeAndOnTheWholeMonitor) {
    std::vector<uint16_t> frame(FRAMEBUFFER_BYTES / 2);
    for (const char* display : {"Transformed:Rot0", "Transformed:Rot90", "Transformed:Rot270",
                                "Transformed:Rot180"}) {
        setenv("QWS_DISPLAY", display, 1);
        Recorder r;
        r.showNormal();
        const int fbW = r.host()->physicalWidth, fbH = r.host()->physicalHeight;
        for (int s = 1; s <= 4; ++s) {
            SCOPED_TRACE(testing::Message() << display << " scale " << s);
            // Resized first (borders of uneven widths), then a whole new frame.
            r.host()->resize(fbW * s + 7, fbH * s + 2 * s + 1);
            present(frame, 0, int(frame.size()));
            EXPECT_TRUE(showsFrame(r, frame));
            // A few rows and one lone pixel change; then nothing changes.
            present(frame, 100 * fbW, 3 * fbW);
            present(frame, fbW * fbH - 1, 1);
            present(frame, 0, 0);
            EXPECT_TRUE(showsFrame(r, frame));
        }
        // Frames presented while the window is hidden show when it comes back.
        r.host()->hide();
        present(frame, 5 * fbW, 40 * fbW);
        r.host()->show();
        EXPECT_TRUE(showsFrame(r, frame)) << display;
        // Alt+Enter: the whole monitor, then back to the window's last size.
        const QSize windowed = r.host()->size();
        for (bool whole : {true, false}) {
            testdriver::sendKey(Qt::Key_Alt, true);
            testdriver::sendKey(Qt::Key_Return, true);
            testdriver::sendKey(Qt::Key_Return, false);
            testdriver::sendKey(Qt::Key_Alt, false);
            EXPECT_TRUE(showsFrame(r, frame)) << display << whole;
            const QRect now = r.host()->geometry();
            EXPECT_EQ(now, whole ? r.host()->screen()->geometry() : QRect(now.topLeft(), windowed));
        }
    }
    unsetenv("QWS_DISPLAY");
}

TEST(Window, KeysReachTheDeviceOnceAndAltEnterNeverDoes) {
    unsetenv("QWS_DISPLAY");
    constexpr int ALT = 0x1023, RET = 0x1004, A = 'A', B = 'B';
    constexpr int Alt = Qt::Key_Alt, Ret = Qt::Key_Return, Ent = Qt::Key_Enter, F11 = Qt::Key_F11;
    constexpr int Left = Qt::Key_Left, REP = 1 << 28, PAIR = 1 << 29;
    // Keys sent (a negative key is a release; k | REP a press marked as an
    // auto-repeat, k | PAIR an unmarked release and press with one timestamp,
    // as X11 repeats under load; 'f' the window losing and regaining the
    // keyboard), what the device sees by the next frame, and how often the
    // window switches.
    struct Case { const char* what; bool atOnce; std::vector<int> sent, seen; int toggles; };
    const Case cases[] = {
        {"combination on a menu", false, {Alt, Ret, -Ret, -Alt}, {}, 1},
        {"keypad Enter, Alt let go first", false, {Alt, Ent, -Alt, -Ent}, {}, 1},
        {"held Enter switches once", false, {Alt, Ret, Ret | REP, Ret | PAIR, -Ret, Ret, -Ret, -Alt},
         {}, 2},
        {"Alt alone is a key", false, {Alt, Alt | REP, Alt | PAIR, -Alt}, {ALT, -ALT}, 0},
        {"Alt with another key", false, {Alt, Qt::Key_A, -Qt::Key_A, -Alt}, {ALT, A, -A, -ALT}, 0},
        {"Alt goes before a release", false, {Left, Alt, -Left, -Alt},
         {KEY_LEFT, ALT, -KEY_LEFT, -ALT}, 0},
        {"Enter and F11 alone", false, {Ret, -Ret, F11, -F11}, {RET, -RET, KEY_F11, -KEY_F11}, 0},
        {"in play or bound, Alt goes at once", true, {Alt, Ret, -Ret, -Alt}, {ALT, -ALT}, 1},
        {"held Enter, then Alt: repeats are no Enter", true,
         {Ret, Alt, Ret | PAIR, Ret, Ret | REP, -Ret, -Alt}, {RET, ALT, -RET, -ALT}, 0},
        {"held Alt forgotten with the keyboard", false, {Alt, 'f', -Alt, Qt::Key_B}, {B}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Recorder r;
        r.atOnce = c.atOnce;
        r.showNormal();
        QApplication::processEvents();  // shown and active before the first key
        int toggles = 0;
        unsigned long now = 1;  // desktop time, ms
        for (int k : c.sent) {
            const int key = std::abs(k) & ~(REP | PAIR), marks = k > 0 ? k & (REP | PAIR) : 0;
            if (k == 'f') {
                testdriver::setActive(false);
                testdriver::setActive(true);
            } else if (marks == PAIR) {
                testdriver::sendKey(key, false, false, ++now);
                testdriver::sendKey(key, true, false, now);
            } else {
                testdriver::sendKey(key, k > 0, marks == REP, ++now);
            }
            QApplication::processEvents();
            toggles += r.host()->isFullScreen() != (toggles % 2 == 1);
        }
        testdriver::tick();
        EXPECT_EQ(r.keys, c.seen);
        EXPECT_EQ(toggles, c.toggles);
    }
}

TEST(Window, PointerHidesForKeysAndPadAndComesBackWhenTheMouseMoves) {
    Recorder r;
    r.showNormal();
    // Whether the pointer is hidden after it moves by `by` in screen pixels.
    auto hiddenAfterMove = [host = r.host()](QPointF by) {
        QMouseEvent e(QEvent::MouseMove, QPointF(5, 5), QCursor::pos(host->screen()) + by,
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(host, &e);
        return host->cursor().shape() == Qt::BlankCursor;
    };
    EXPECT_FALSE(hiddenAfterMove({0, 0}));
    testdriver::sendKey(Qt::Key_Space, true);
    EXPECT_TRUE(hiddenAfterMove({0, 0}));  // the window moved under a still pointer
    EXPECT_FALSE(hiddenAfterMove({3, 0}));
    noteNonPointerInput();
    EXPECT_TRUE(hiddenAfterMove({0, 0}));
    EXPECT_FALSE(hiddenAfterMove({0, 1}));
}

TEST(Activation, ReachesTheWidgetOncePerChange) {
    testdriver::setManualTimer(true);
    Recorder r;
    r.showNormal();
    // The driver's activation reports each change once; without the driver,
    // the desktop's activation of the window counts.
    for (bool on : {true, true, false}) testdriver::setActive(on);
    EXPECT_EQ(std::pair(r.focusIns, r.focusOuts), std::pair(1, 1));
    testdriver::setManualTimer(false);
    QWidget* const windows[] = {r.host(), nullptr};
    for (QWidget* active : windows) {
        QApplication::setActiveWindow(active);
        QApplication::processEvents();
        EXPECT_EQ(std::tuple(r.isActiveWindow(), r.focusIns, r.focusOuts),
                  std::tuple(active != nullptr, 2, active ? 1 : 2));
    }
    testdriver::setManualTimer(true);
}

TEST(InstallDirectory, FromTheEnvironmentOrBesideTheExecutable) {
    const auto exe = std::filesystem::read_symlink("/proc/self/exe");
    const std::string beside = exe.parent_path().parent_path().string() + "/";
    const std::pair<const char*, std::string> cases[] = {
        {"/opt/device", "/opt/device/"}, {"/opt/device/", "/opt/device/"}, {"", beside},
        {nullptr, beside}};
    for (const auto& [value, dir] : cases) {
        value ? setenv("QPEDIR", value, 1) : unsetenv("QPEDIR");
        EXPECT_EQ(qpeDir(), dir) << (value ? value : "unset");
    }
}

} // namespace
