// The device platform over Qt: key numbering, pen mapping through the host
// window's scale, border and rotation, activation and the installation
// directory.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>

#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/host.h"
#include "support/runner.h"

namespace {

// Records what reaches the device widget.
struct Recorder : DeviceWidget {
    Recorder() : DeviceWidget("Recorder", WIDGET_STYLE_CUSTOMIZE) {}
    struct Pen {
        char kind;
        int x, y;
    };
    std::vector<Pen> pens;
    std::vector<int> keys;  // device key code, negated for a release
    bool atOnce = false;
    int focusIns = 0, focusOuts = 0;
    void keyPressEvent(const KeyEvent& e) override { keys.push_back(e.key); }
    void keyReleaseEvent(const KeyEvent& e) override { keys.push_back(-e.key); }
    bool wantsKeysAtOnce() const override { return atOnce; }
    void mousePressEvent(const PenEvent& e) override { pens.push_back({'p', e.x, e.y}); }
    void mouseMoveEvent(const PenEvent& e) override { pens.push_back({'m', e.x, e.y}); }
    void mouseReleaseEvent(const PenEvent& e) override { pens.push_back({'r', e.x, e.y}); }
    void focusInEvent() override { ++focusIns; }
    void focusOutEvent() override { ++focusOuts; }
};

void sendButton(QWidget* host, QEvent::Type type, QPoint at, Qt::MouseButton button,
                Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(at), host->mapToGlobal(QPointF(at)), button, held,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(host, &e);
}

TEST(KeyCodes, HostKeysBecomeDeviceKeys) {
    const struct {
        int qt, device;
    } cases[] = {
        {Qt::Key_Escape, 0x1000},
        {Qt::Key_Left, 0x1012},
        {Qt::Key_Up, 0x1013},
        {Qt::Key_Right, 0x1014},
        {Qt::Key_Down, 0x1015},
        {Qt::Key_F1, 0x1030},
        {Qt::Key_F11, 0x103a},
        {Qt::Key_F12, 0x103b},
        {Qt::Key_Space, 0x20},
        {Qt::Key_A, 'A'},
        {Qt::Key_Z, 'Z'},
        {Qt::Key_5, '5'},
        {Qt::Key_Tab, 0x1001},
        {Qt::Key_Return, 0x1004},
        // Odd codes: beyond the special range, negative, the unknown key, zero.
        {Qt::Key_unknown, 0xffff},
        {0x01001000, 0xffff},
        {-7, 0xffff},
        {0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(deviceKeyCode(c.qt), c.device) << std::hex << c.qt;
}

TEST(Pen, FollowsScaleBorderAndRotation) {
    ensureTestApplication();
    // Device pixel (10, 20): where each rotation shows it (column, row), and
    // where one window pixel column further right lands on the device.
    // A rotation chosen at launch (0..3, -1 none) replaces the display's.
    const struct {
        const char* display;
        int launch, orientation, col, row, fbW, fbH, rightX, rightY;
    } cases[] = {
        {"Transformed:Rot0", -1, 0, 10, 20, 240, 320, 11, 20},
        {"Transformed:Rot90:0", -1, 1, 20, 229, 320, 240, 10, 21},
        {"Transformed:Rot270", -1, 3, 299, 10, 320, 240, 10, 19},
        {"Transformed:Rot180", -1, 2, 229, 299, 240, 320, 9, 20},
        {"LinuxFb:Rot90", -1, 0, 10, 20, 240, 320, 11, 20}, // only a transformed display turns
        {"Transformed:Rot270", 1, 1, 20, 229, 320, 240, 10, 21},
        {"Transformed:Rot90", 0, 0, 10, 20, 240, 320, 11, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.display);
        setenv("QWS_DISPLAY", c.display, 1);
        HostLaunch launch;
        launch.orientation = c.launch;
        setHostLaunch(launch);
        ASSERT_EQ(DirectPainter::transformOrientation(), c.orientation);
        Recorder r;
        QWidget* host = hostWindow(&r);
        // Scale 3 with a border of 20 left and right and 50 above and below.
        host->resize(c.fbW * 3 + 40, c.fbH * 3 + 100);
        const QPoint inPixel(20 + c.col * 3 + 2, 50 + c.row * 3 + 1);
        // Not the pen: another button, or a press on the border.
        sendButton(host, QEvent::MouseButtonPress, inPixel, Qt::RightButton, Qt::RightButton);
        sendButton(host, QEvent::MouseButtonPress, QPoint(1, 1), Qt::LeftButton, Qt::LeftButton);
        sendButton(host, QEvent::MouseButtonRelease, QPoint(1, 1), Qt::LeftButton, Qt::NoButton);
        sendButton(host, QEvent::MouseButtonPress, inPixel, Qt::LeftButton, Qt::LeftButton);
        sendButton(host, QEvent::MouseMove, inPixel + QPoint(3, 0), Qt::NoButton, Qt::LeftButton);
        sendButton(host, QEvent::MouseButtonRelease, QPoint(0, 0), Qt::LeftButton, Qt::NoButton);
        sendButton(host, QEvent::MouseMove, inPixel, Qt::NoButton, Qt::NoButton);
        // The test driver's inverse mapping lands on the same device pixels.
        testdriver::sendMouse(239, 319, 0);
        testdriver::sendMouse(0, 0, 2);
        ASSERT_EQ(r.pens.size(), 5u);
        EXPECT_TRUE(r.pens[0].kind == 'p' && r.pens[0].x == 10 && r.pens[0].y == 20);
        EXPECT_TRUE(r.pens[1].x == c.rightX && r.pens[1].y == c.rightY);
        // Released out in the border: the point is held on the screen.
        EXPECT_EQ(r.pens[2].kind, 'r');
        EXPECT_TRUE(r.pens[2].x >= 0 && r.pens[2].x < 240 && r.pens[2].y >= 0 && r.pens[2].y < 320);
        EXPECT_TRUE(r.pens[3].x == 239 && r.pens[3].y == 319);
        EXPECT_TRUE(r.pens[4].x == 0 && r.pens[4].y == 0);
    }
    unsetenv("QWS_DISPLAY");
    setHostLaunch(HostLaunch());
}

TEST(LaunchChoices, ScaleAndFullScreenShapeTheFirstWindow) {
    ensureTestApplication();
    HostLaunch launch;
    launch.scale = 2;
    launch.orientation = 3;
    setHostLaunch(launch);
    {
        Recorder r;
        r.showNormal();
        EXPECT_EQ(hostWindow(&r)->size(), QSize(640, 480));
        EXPECT_FALSE(hostWindow(&r)->isFullScreen());
    }
    launch.fullScreen = true;
    setHostLaunch(launch);
    {
        Recorder r;
        r.showNormal();
        QApplication::processEvents();
        EXPECT_TRUE(hostWindow(&r)->isFullScreen());
        EXPECT_EQ(hostWindow(&r)->size(), QGuiApplication::primaryScreen()->geometry().size());
    }
    setHostLaunch(HostLaunch());
}

// Window pixels that differ from the last presented framebuffer scaled by the
// window's whole factor and centred on black (colours widened as Qt widens
// 16-bit images). The window is read back from the screen, as shown.
int wrongWindowPixels(QWidget* host, const std::vector<uint16_t>& presented, int fbW, int fbH) {
    QApplication::processEvents();
    const QImage shot = host->screen()->grabWindow(host->winId()).toImage().convertToFormat(
        QImage::Format_RGB32);
    const QImage fb(reinterpret_cast<const uchar*>(presented.data()), fbW, fbH, fbW * 2,
                    QImage::Format_RGB16);
    const int s = wholeScale(shot.width(), shot.height(), fbW, fbH);
    const int ox = (shot.width() - fbW * s) / 2, oy = (shot.height() - fbH * s) / 2;
    int wrong = 0;
    for (int y = 0; y < shot.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(shot.constScanLine(y));
        for (int x = 0; x < shot.width(); ++x) {
            const int col = (x - ox) >= 0 ? (x - ox) / s : -1, row = (y - oy) >= 0 ? (y - oy) / s : -1;
            const bool onScreen = col >= 0 && col < fbW && row >= 0 && row < fbH;
            wrong += line[x] != (onScreen ? fb.pixel(col, row) : qRgb(0, 0, 0));
        }
    }
    return wrong;
}

TEST(Presenting, WindowShowsTheFramebufferAtEveryScaleRotationAndChange) {
    ensureTestApplication();
    std::vector<uint16_t> frame(FRAMEBUFFER_BYTES / 2);
    uint32_t seed = 7;
    auto present = [&](DeviceWidget& w, int from, int count) {
        for (int i = from; i < from + count; ++i) {
            seed = seed * 1103515245u + 12345u;
            frame[i] = uint16_t(seed >> 12);
        }
        DirectPainter painter(&w);
        std::memcpy(painter.frameBuffer(), frame.data(), FRAMEBUFFER_BYTES);
    };
    for (const char* display : {"Transformed:Rot0", "Transformed:Rot90", "Transformed:Rot270",
                                "Transformed:Rot180"}) {
        setenv("QWS_DISPLAY", display, 1);
        const int o = DirectPainter::transformOrientation();
        const int fbW = o == 1 || o == 3 ? 320 : 240, fbH = 76800 / fbW;
        Recorder r;
        r.showNormal();
        QWidget* host = hostWindow(&r);
        for (int s = 1; s <= 4; ++s) {
            SCOPED_TRACE(testing::Message() << display << " scale " << s);
            // Resized first (borders of uneven widths), then a whole new frame.
            host->resize(fbW * s + 7, fbH * s + 2 * s + 1);
            present(r, 0, int(frame.size()));
            EXPECT_EQ(wrongWindowPixels(host, frame, fbW, fbH), 0);
            // A few rows and one lone pixel change; then nothing changes.
            present(r, 100 * fbW, 3 * fbW);
            present(r, fbW * fbH - 1, 1);
            EXPECT_EQ(wrongWindowPixels(host, frame, fbW, fbH), 0);
            present(r, 0, 0);
            EXPECT_EQ(wrongWindowPixels(host, frame, fbW, fbH), 0);
        }
        // Frames presented while the window is hidden show when it comes back.
        host->hide();
        present(r, 5 * fbW, 40 * fbW);
        host->show();
        EXPECT_EQ(wrongWindowPixels(host, frame, fbW, fbH), 0) << display;
    }
    unsetenv("QWS_DISPLAY");
}

TEST(Window, AltEnterTogglesTheWholeMonitorAndNeverReachesTheDevice) {
    ensureTestApplication();
    unsetenv("QWS_DISPLAY");
    constexpr int ALT = 0x1023, RET = 0x1004, F11 = 0x103a, A = 'A';
    constexpr int Alt = Qt::Key_Alt, Ret = Qt::Key_Return, Ent = Qt::Key_Enter;
    // Keys sent (a negative key is a release; 'r' marks an auto-repeat press),
    // what the device sees, and how often the window switches.
    const struct {
        const char* what;
        bool atOnce;
        std::vector<int> sent;
        std::vector<int> seen;
        int toggles;
    } cases[] = {
        {"combination on a menu", false, {Alt, Ret, -Ret, -Alt}, {}, 1},
        {"keypad Enter, Alt let go first", false, {Alt, Ent, -Alt, -Ent}, {}, 1},
        {"held Enter switches once", false, {Alt, Ret, 'r', 'r', -Ret, Ret, -Ret, -Alt}, {}, 2},
        {"Alt alone is a key", false, {Alt, 'r', -Alt}, {ALT, -ALT}, 0},
        {"Alt with another key", false, {Alt, Qt::Key_A, -Qt::Key_A, -Alt}, {ALT, A, -A, -ALT}, 0},
        {"Enter and F11 alone", false, {Ret, -Ret, Qt::Key_F11, -Qt::Key_F11}, {RET, -RET, F11, -F11}, 0},
        {"in play Alt goes at once", true, {Alt, Ret, -Ret, -Alt}, {ALT, -ALT}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Recorder r;
        r.atOnce = c.atOnce;
        r.showNormal();
        QApplication::processEvents();  // shown and active before the first key
        QWidget* host = hostWindow(&r);
        int toggles = 0, last = 0;
        for (int k : c.sent) {
            const bool repeat = k == 'r';
            const int key = repeat ? last : std::abs(k);
            last = key;
            testdriver::sendKey(key, k > 0, repeat);
            QApplication::processEvents();
            toggles += host->isFullScreen() != (toggles % 2 == 1);
        }
        EXPECT_EQ(r.keys, c.seen);
        EXPECT_EQ(toggles, c.toggles);
    }
    // A held Alt is forgotten when the window loses the keyboard.
    Recorder r;
    testdriver::setActive(true);
    testdriver::sendKey(Qt::Key_Alt, true);
    testdriver::setActive(false);
    testdriver::setActive(true);
    testdriver::sendKey(Qt::Key_Alt, false);
    testdriver::sendKey(Qt::Key_B, true);
    EXPECT_EQ(r.keys, std::vector<int>{'B'});
}

TEST(Window, FullScreenKeepsAWholeScaleCentredAndComesBack) {
    ensureTestApplication();
    unsetenv("QWS_DISPLAY");
    Recorder r;
    r.showNormal();
    QWidget* host = hostWindow(&r);
    host->resize(500, 700);  // scale 2, borders 10 and 30
    QApplication::processEvents();
    std::vector<uint16_t> frame(FRAMEBUFFER_BYTES / 2);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = uint16_t(i * 40503u >> 4);
    {
        DirectPainter painter(&r);
        std::memcpy(painter.frameBuffer(), frame.data(), FRAMEBUFFER_BYTES);
    }
    testdriver::sendKey(Qt::Key_Alt, true);
    testdriver::sendKey(Qt::Key_Return, true);
    QApplication::processEvents();
    const QRect monitor = host->screen()->geometry();
    EXPECT_EQ(host->geometry(), monitor);
    const auto* h = static_cast<DeviceWidget::Host*>(host);
    const int s = wholeScale(monitor.width(), monitor.height(), 240, 320);
    EXPECT_EQ(h->scale(), s);
    EXPECT_EQ(h->origin(), QPoint((monitor.width() - 240 * s) / 2, (monitor.height() - 320 * s) / 2));
    EXPECT_EQ(wrongWindowPixels(host, frame, 240, 320), 0);
    testdriver::sendKey(Qt::Key_Return, false);
    testdriver::sendKey(Qt::Key_Return, true);  // Alt still down
    QApplication::processEvents();
    EXPECT_EQ(host->size(), QSize(500, 700));
    EXPECT_EQ(wrongWindowPixels(host, frame, 240, 320), 0);
}

TEST(Window, PointerHidesForKeysAndPadAndComesBackWhenTheMouseMoves) {
    ensureTestApplication();
    Recorder r;
    r.showNormal();
    QWidget* host = hostWindow(&r);
    auto hidden = [host] { return host->cursor().shape() == Qt::BlankCursor; };
    auto move = [host](QPointF global) {
        QMouseEvent e(QEvent::MouseMove, QPointF(5, 5), global, Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
        QCoreApplication::sendEvent(host, &e);
    };
    EXPECT_FALSE(hidden());
    testdriver::sendKey(Qt::Key_Space, true);
    EXPECT_TRUE(hidden());
    move(QCursor::pos(host->screen()));  // the window moved under a still pointer
    EXPECT_TRUE(hidden());
    move(QCursor::pos(host->screen()) + QPointF(3, 0));
    EXPECT_FALSE(hidden());
    noteNonPointerInput();
    EXPECT_TRUE(hidden());
    move(QCursor::pos(host->screen()) + QPointF(0, 1));
    EXPECT_FALSE(hidden());
}

TEST(Activation, ReachesTheWidgetOncePerChange) {
    ensureTestApplication();
    testdriver::setManualTimer(true);
    Recorder r;
    r.showNormal();
    // The driver's activation reports each change once.
    testdriver::setActive(true);
    testdriver::setActive(true);
    testdriver::setActive(false);
    EXPECT_EQ(std::pair(r.focusIns, r.focusOuts), std::pair(1, 1));

    // Without the driver, the desktop's activation of the window counts.
    testdriver::setManualTimer(false);
    QApplication::setActiveWindow(hostWindow(&r));
    QApplication::processEvents();
    EXPECT_TRUE(r.isActiveWindow() && r.focusIns == 2);
    QApplication::setActiveWindow(nullptr);
    QApplication::processEvents();
    EXPECT_TRUE(!r.isActiveWindow() && r.focusOuts == 2);
    testdriver::setManualTimer(true);
}

TEST(InstallDirectory, FromTheEnvironmentOrBesideTheExecutable) {
    for (const char* value : {"/opt/device", "/opt/device/"}) {
        setenv("QPEDIR", value, 1);
        EXPECT_STREQ(qpeDir(), "/opt/device/");
    }
    const auto exe = std::filesystem::read_symlink("/proc/self/exe");
    const std::string beside = exe.parent_path().parent_path().string() + "/";
    setenv("QPEDIR", "", 1);
    EXPECT_EQ(std::string(qpeDir()), beside);
    unsetenv("QPEDIR");
    EXPECT_EQ(std::string(qpeDir()), beside);
}

} // namespace
