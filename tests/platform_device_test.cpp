// The device platform over Qt: key numbering, pen mapping through the host
// window's scale, border and rotation, focus, timers, message boxes and the
// installation directory.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/platform.h"

namespace {

void ensureApplication() {
    // Kept to the end of the process: Qt must not be torn down by static
    // destructors.
    static PlatformApplication* app = nullptr;
    if (!app) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "platform_test";
        static char* argv[] = {name, nullptr};
        app = new PlatformApplication(argc, argv);
    }
}

// Records what reaches the device widget.
struct Recorder : DeviceWidget {
    Recorder() : DeviceWidget("Recorder", WIDGET_STYLE_CUSTOMIZE) {}
    struct Pen { char kind; int x, y; };
    std::vector<KeyEvent> keys;
    std::vector<Pen> pens;
    int ticks = 0, focusIns = 0, focusOuts = 0, resizes = 0;
    void timerEvent() override { ++ticks; }
    void keyPressEvent(const KeyEvent& e) override { keys.push_back(e); }
    void mousePressEvent(const PenEvent& e) override { pens.push_back({'p', e.x, e.y}); }
    void mouseMoveEvent(const PenEvent& e) override { pens.push_back({'m', e.x, e.y}); }
    void mouseReleaseEvent(const PenEvent& e) override { pens.push_back({'r', e.x, e.y}); }
    void focusInEvent() override { ++focusIns; }
    void focusOutEvent() override { ++focusOuts; }
    void resizeEvent() override { ++resizes; }
};

class Platform : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApplication();
        unsetenv("QWS_DISPLAY");
        testdriver::setManualTimer(true);
    }
    void TearDown() override { unsetenv("QWS_DISPLAY"); }
};

TEST(KeyCodes, QtKeysBecomeDeviceKeys) {
    const struct { int qt, device; } cases[] = {
        {Qt::Key_Escape, 0x1000}, {Qt::Key_Left, 0x1012}, {Qt::Key_Up, 0x1013},
        {Qt::Key_Right, 0x1014},  {Qt::Key_Down, 0x1015}, {Qt::Key_F1, 0x1030},
        {Qt::Key_F11, 0x103a},    {Qt::Key_F12, 0x103b},  {Qt::Key_Space, 0x20},
        {Qt::Key_A, 'A'},         {Qt::Key_Z, 'Z'},       {Qt::Key_5, '5'},
        // Odd codes: out of the special range, negative, the unknown key.
        {Qt::Key_unknown, 0xffff}, {0x01001000, 0xffff}, {-7, 0xffff}, {0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(deviceKeyCode(c.qt), c.device) << std::hex << c.qt;
}

TEST_F(Platform, KeyEventsKeepTheRepeatFlag) {
    Recorder r;
    QWidget* host = hostWindow(&r);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier, QString(), true);
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QKeyEvent letter(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, QStringLiteral("q"));
    QCoreApplication::sendEvent(host, &repeat);
    QCoreApplication::sendEvent(host, &tab);  // not swallowed by focus handling
    QCoreApplication::sendEvent(host, &letter);
    ASSERT_EQ(r.keys.size(), 3u);
    EXPECT_EQ(r.keys[0].key, 0x1012);
    EXPECT_TRUE(r.keys[0].autoRepeat);
    EXPECT_EQ(r.keys[1].key, 0x1001);
    EXPECT_FALSE(r.keys[1].autoRepeat);
    EXPECT_EQ(r.keys[2].key, 'Q');
}

void sendButton(QWidget* host, QEvent::Type type, QPoint at, Qt::MouseButton button,
                Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(at), host->mapToGlobal(QPointF(at)), button, held,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(host, &e);
}

TEST_F(Platform, PenFollowsScaleBorderAndRotation) {
    // Device pixel (10, 20) and where each rotation shows it (column, row).
    // Also where one screen column to the right of it is on the device.
    const struct {
        const char* display;
        int orientation, col, row, fbW, fbH, rightX, rightY;
    } cases[] = {
        {"Transformed:Rot0", 0, 10, 20, 240, 320, 11, 20},
        {"Transformed:Rot90", 1, 20, 229, 320, 240, 10, 21},
        {"Transformed:Rot270", 3, 299, 10, 320, 240, 10, 19},
        {"Transformed:Rot180", 2, 229, 299, 240, 320, 9, 20},
    };
    for (const auto& c : cases) {
        setenv("QWS_DISPLAY", c.display, 1);
        ASSERT_EQ(DirectPainter::transformOrientation(), c.orientation);
        Recorder r;
        QWidget* host = hostWindow(&r);
        // Room for scale 3 with a border of 20 left/right and 50 above/below.
        host->resize(c.fbW * 3 + 40, c.fbH * 3 + 100);
        ASSERT_EQ(wholeScale(host->width(), host->height(), c.fbW, c.fbH), 3);

        const QPoint inPixel(20 + c.col * 3 + 2, 50 + c.row * 3 + 1);
        sendButton(host, QEvent::MouseButtonPress, inPixel, Qt::LeftButton, Qt::LeftButton);
        sendButton(host, QEvent::MouseMove, inPixel + QPoint(3, 0), Qt::NoButton, Qt::LeftButton);
        sendButton(host, QEvent::MouseButtonRelease, QPoint(0, 0), Qt::LeftButton, Qt::NoButton);
        ASSERT_EQ(r.pens.size(), 3u) << c.display;
        EXPECT_EQ(r.pens[0].kind, 'p');
        EXPECT_EQ(r.pens[0].x, 10) << c.display;
        EXPECT_EQ(r.pens[0].y, 20) << c.display;
        EXPECT_EQ(r.pens[1].x, c.rightX) << c.display;
        EXPECT_EQ(r.pens[1].y, c.rightY) << c.display;
        // Released in the border: the point is kept on the screen.
        EXPECT_EQ(r.pens[2].kind, 'r');
        EXPECT_GE(r.pens[2].x, 0);
        EXPECT_LT(r.pens[2].x, 240);
        EXPECT_GE(r.pens[2].y, 0);
        EXPECT_LT(r.pens[2].y, 320);

        // The test driver's inverse mapping lands on the same device pixel.
        r.pens.clear();
        testdriver::sendMouse(239, 319, 0);
        testdriver::sendMouse(0, 0, 2);
        ASSERT_EQ(r.pens.size(), 2u);
        EXPECT_EQ(r.pens[0].x, 239);
        EXPECT_EQ(r.pens[0].y, 319);
        EXPECT_EQ(r.pens[1].x, 0);
        EXPECT_EQ(r.pens[1].y, 0);
    }
}

TEST_F(Platform, OnlyTheLeftButtonOnTheScreenIsThePen) {
    Recorder r;
    QWidget* host = hostWindow(&r);
    host->resize(240 * 2 + 100, 320 * 2);  // scale 2, 50-pixel borders left and right
    sendButton(host, QEvent::MouseButtonPress, QPoint(10, 100), Qt::LeftButton, Qt::LeftButton);
    sendButton(host, QEvent::MouseMove, QPoint(100, 100), Qt::NoButton, Qt::LeftButton);
    sendButton(host, QEvent::MouseButtonRelease, QPoint(100, 100), Qt::LeftButton, Qt::NoButton);
    sendButton(host, QEvent::MouseButtonPress, QPoint(100, 100), Qt::RightButton, Qt::RightButton);
    sendButton(host, QEvent::MouseMove, QPoint(120, 100), Qt::NoButton, Qt::NoButton);
    EXPECT_TRUE(r.pens.empty());
    sendButton(host, QEvent::MouseButtonPress, QPoint(51, 1), Qt::LeftButton, Qt::LeftButton);
    ASSERT_EQ(r.pens.size(), 1u);
    EXPECT_EQ(r.pens[0].x, 0);
    EXPECT_EQ(r.pens[0].y, 0);
}

TEST_F(Platform, WindowStateAsTheGameSeesIt) {
    Recorder r;
    EXPECT_EQ(r.width(), desktopWidth());
    EXPECT_EQ(r.height(), desktopHeight());
    EXPECT_FALSE(r.isVisible());
    r.setFixedSize(240, 320);
    EXPECT_EQ(r.resizes, 0);
    r.setFixedSize(100, 50);
    EXPECT_EQ(r.resizes, 1);
    EXPECT_EQ(r.width(), 100);

    r.setCaption("Caption");
    EXPECT_STREQ(r.caption(), "Caption");
    EXPECT_EQ(hostWindow(&r)->windowTitle(), QStringLiteral("Caption"));

    r.showFullScreen();
    EXPECT_TRUE(r.isVisible());
    EXPECT_TRUE(r.isFullScreen());
    EXPECT_EQ(r.showFullScreenCalls(), 1);
    r.showNormal();
    EXPECT_FALSE(r.isFullScreen());

    testdriver::setActive(true);
    testdriver::setActive(true);
    EXPECT_TRUE(r.isActiveWindow());
    testdriver::setActive(false);
    EXPECT_FALSE(r.isActiveWindow());
    EXPECT_EQ(r.focusIns, 1);
    EXPECT_EQ(r.focusOuts, 1);
}

TEST_F(Platform, HostActivationReachesTheWidget) {
    testdriver::setManualTimer(false);
    Recorder r;
    r.showNormal();
    QWidget* host = hostWindow(&r);
    QApplication::setActiveWindow(host);
    QApplication::processEvents();
    EXPECT_TRUE(r.isActiveWindow());
    EXPECT_EQ(r.focusIns, 1);
    QApplication::setActiveWindow(nullptr);
    QApplication::processEvents();
    EXPECT_FALSE(r.isActiveWindow());
    EXPECT_EQ(r.focusOuts, 1);
    testdriver::setManualTimer(true);
}

TEST_F(Platform, TimersTickByHandOrByTheClock) {
    {
        Recorder r;
        EXPECT_GT(r.startTimer(20), 0);
        testdriver::tick();
        testdriver::tick();
        EXPECT_EQ(r.ticks, 2);
    }
    testdriver::tick();  // the destroyed widget's timer is gone

    testdriver::setManualTimer(false);
    Recorder r;
    r.startTimer(2);
    for (int i = 0; i < 1000 && r.ticks < 3; ++i) {
        QApplication::processEvents();
        usleep(1000);
    }
    EXPECT_GE(r.ticks, 3);
    testdriver::setManualTimer(true);
    const int ticks = r.ticks;
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        usleep(1000);
    }
    EXPECT_EQ(r.ticks, ticks);
}

std::vector<std::string> boxes;
void recordBox(bool critical, const char* title, const char* text) {
    boxes.push_back(std::string(critical ? "C " : "W ") + title + ": " + text);
}

TEST_F(Platform, MessageBoxesWithoutADisplayGoToStandardError) {
    testing::internal::CaptureStderr();
    messageBoxCritical(nullptr, "Fatal Error", "Error loading title image");
    messageBoxWarning(nullptr, "Sound", "<qt>No <b>sound</b>.</qt>");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Fatal Error: Error loading title image\nSound: No sound.\n");

    setMessageBoxHook(recordBox);
    testing::internal::CaptureStderr();
    messageBoxCritical(nullptr, "A", "b");
    messageBoxWarning(nullptr, "C", "d");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    setMessageBoxHook(nullptr);
    EXPECT_EQ(boxes, (std::vector<std::string>{"C A: b", "W C: d"}));
}

TEST(InstallDirectory, FromTheEnvironmentOrBesideTheExecutable) {
    setenv("QPEDIR", "/opt/device", 1);
    EXPECT_STREQ(qpeDir(), "/opt/device/");
    setenv("QPEDIR", "/opt/device/", 1);
    EXPECT_STREQ(qpeDir(), "/opt/device/");
    unsetenv("QPEDIR");
    const auto exe = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(std::string(qpeDir()), exe.parent_path().parent_path().string() + "/");
    setenv("QPEDIR", "", 1);
    EXPECT_EQ(std::string(qpeDir()), exe.parent_path().parent_path().string() + "/");
    unsetenv("QPEDIR");
}

TEST(DisplayRotation, ReadFromTheDisplaySetting) {
    const struct { const char* value; int orientation; } cases[] = {
        {"Transformed:Rot90:0", 1}, {"Transformed:Rot180", 2}, {"Transformed:Rot270", 3},
        {"Transformed:Rot0", 0},    {"LinuxFb:Rot90", 0},      {"Transformed", 0},
    };
    for (const auto& c : cases) {
        setenv("QWS_DISPLAY", c.value, 1);
        EXPECT_EQ(DirectPainter::transformOrientation(), c.orientation) << c.value;
    }
    unsetenv("QWS_DISPLAY");
    EXPECT_EQ(DirectPainter::transformOrientation(), 0);
}

TEST(Scale, LargestWholeFactorThatFits) {
    EXPECT_EQ(wholeScale(800, 600, 240, 320), 1);
    EXPECT_EQ(wholeScale(1920, 1080, 240, 320), 3);
    EXPECT_EQ(wholeScale(1920, 1080, 320, 240), 4);
    EXPECT_EQ(wholeScale(100, 100, 240, 320), 1);
}

int64_t fixedTime() { return 42; }

TEST(Clock, ReplaceableTimeSource) {
    setTimeSource(fixedTime);
    EXPECT_EQ(timeOfDayMs(), 42);
    setTimeSource(nullptr);
    EXPECT_GT(timeOfDayMs(), int64_t(1600000000000));
}

} // namespace
