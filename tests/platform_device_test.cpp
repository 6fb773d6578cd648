// The device platform over Qt: key numbering, pen mapping through the host
// window's scale, border and rotation, presenting, the whole-monitor switch,
// the pointer, activation and the message boxes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBackingStore>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/testdriver.h"
#include "support/runner.h"
#include "ui/ui.h"

namespace {

// The program's offscreen desktop: five 1920 x 1200 monitors side by side,
// which the desktop scales by these ratios (100 % to 200 %). The first one is
// the primary monitor, where windows open.
constexpr qreal RATIOS[] = {1, 1.25, 1.5, 1.75, 2};

struct Monitors : testing::Environment {
    void SetUp() override {
        const std::string config = makeTempDir("monitors") + "monitors.json";
        std::string screens, factors;
        for (size_t i = 0; i < std::size(RATIOS); ++i) {
            const std::string name = "m" + std::to_string(i);
            screens += std::string(i ? "," : "") + "{\"name\": \"" + name + "\", \"x\": " +
                       std::to_string(i * 1920) + ", \"y\": 0, \"width\": 1920, \"height\": 1200}";
            factors += (i ? ";" : "") + name + "=" + std::to_string(RATIOS[i]);
        }
        std::ofstream(config) << "{\"screens\": [" << screens << "]}";
        setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).c_str(), 1);
        setenv("QT_SCREEN_SCALE_FACTORS", factors.c_str(), 1);
        ensureTestApplication();
    }
};
const auto* const monitors = testing::AddGlobalTestEnvironment(new Monitors);

// Puts window `w` on the monitor of `ratio`, at its top-left corner.
void moveToMonitor(QWidget* w, qreal ratio) {
    for (QScreen* s : QGuiApplication::screens()) {
        if (s->devicePixelRatio() == ratio) {
            w->setScreen(s);
            w->move(s->geometry().topLeft());
            return;
        }
    }
    ADD_FAILURE() << "no monitor at " << ratio;
}

// The fewest window pixels that span `native` native pixels at `ratio`.
int windowSpan(int native, qreal ratio) {
    return int(std::ceil(native / ratio));
}

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

// A mouse event at window point `at`, through the host's window as the
// desktop's events come; moves carry `button` as held.
void sendButton(QWidget* host, QEvent::Type type, QPointF at, Qt::MouseButton button) {
    QMouseEvent e(type, at, host->mapToGlobal(at),
                  type == QEvent::MouseMove ? Qt::NoButton : button,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QCoreApplication::sendEvent(host->windowHandle(), &e);
}

TEST(Pen, FollowsRatioScaleBorderAndRotation) {
    // On the monitor of `ratio`, at scale 3 with a border of 20 native pixels
    // left and right and 50 above and below. Device pixel (10, 20) is shown
    // at framebuffer (col, row); `after`: the pen one framebuffer pixel to its
    // right, then released out in the top-left border (held on the screen). A
    // rotation chosen at launch (0..3, -1 none) replaces the display's.
    struct Case { const char* display; int launch, orientation; qreal ratio; int col, row;
                  const char* after; };
    const Case cases[] = {
        {"Transformed:Rot0", -1, 0, 1, 10, 20, "m11,20 r0,0"},
        {"Transformed:Rot90:0", -1, 1, 1, 20, 229, "m10,21 r239,0"},
        {"Transformed:Rot270", -1, 3, 1, 299, 10, "m10,19 r0,319"},
        {"Transformed:Rot180", -1, 2, 1, 229, 299, "m9,20 r239,319"},
        {"LinuxFb:Rot90", -1, 0, 1, 10, 20, "m11,20 r0,0"},  // only a transformed display turns
        {"Transformed:Rot270", 1, 1, 1, 20, 229, "m10,21 r239,0"},
        {"Transformed:Rot90", 0, 0, 1, 10, 20, "m11,20 r0,0"},
        {"Transformed:Rot0", -1, 0, 1.25, 10, 20, "m11,20 r0,0"},
        {"Transformed:Rot90", -1, 1, 1.75, 20, 229, "m10,21 r239,0"},
    };
    // Upright, also a menu item's first pixel, a pixel of the last row and
    // one of the last column, each pressed on its block's first native pixel
    // and far into its last, then just outside the block on either side.
    const std::vector<QPoint> edges = {{10, 280}, {140, 319}, {239, 139}};
    const std::pair<qreal, int> offsets[] = {{0, 0}, {2.9, 0}, {-1, -1}, {3, 1}};  // native, device
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.display << " at " << c.ratio);
        setenv("QWS_DISPLAY", c.display, 1);
        setHostLaunch(HostLaunch{false, 0, c.launch});
        ASSERT_EQ(DirectPainter::transformOrientation(), c.orientation);
        Recorder r;
        DeviceWidget::Host* host = r.host();
        moveToMonitor(host, c.ratio);
        host->winId();  // its window, for the events
        host->resize(windowSpan(host->physicalWidth * 3 + 40, c.ratio),
                     windowSpan(host->physicalHeight * 3 + 100, c.ratio));
        // A native pixel as the desktop reports it: its number in window pixels.
        const auto at = [&c](qreal x, qreal y) { return QPointF(x / c.ratio, y / c.ratio); };
        const QPointF inPixel = at(20 + c.col * 3 + 2, 50 + c.row * 3 + 1);
        // Not the pen: another button, or a press on the border next to the screen.
        sendButton(host, QEvent::MouseButtonPress, inPixel, Qt::RightButton);
        sendButton(host, QEvent::MouseButtonPress, at(19, 49), Qt::LeftButton);
        sendButton(host, QEvent::MouseButtonRelease, at(19, 49), Qt::LeftButton);
        sendButton(host, QEvent::MouseButtonPress, inPixel, Qt::LeftButton);
        sendButton(host, QEvent::MouseMove, inPixel + at(3, 0), Qt::LeftButton);
        sendButton(host, QEvent::MouseButtonRelease, QPointF(0, 0), Qt::LeftButton);
        sendButton(host, QEvent::MouseMove, inPixel, Qt::NoButton);
        // The test driver's inverse mapping lands on the same device pixels.
        testdriver::sendMouse(239, 319, 0);
        testdriver::sendMouse(0, 0, 2);
        std::string want = std::string("p10,20 ") + c.after + " p239,319 r0,0 ";
        for (const QPoint& e : c.orientation == 0 ? edges : std::vector<QPoint>()) {
            for (const auto& [native, device] : offsets) {
                const QPointF press = at(20 + e.x() * 3 + native, 50 + e.y() * 3 + native);
                sendButton(host, QEvent::MouseButtonPress, press, Qt::LeftButton);
                sendButton(host, QEvent::MouseButtonRelease, press, Qt::LeftButton);
                const int x = e.x() + device, y = e.y() + device;
                const std::string hit = std::to_string(x) + "," + std::to_string(y);
                if (x < DEVICE_WIDTH && y < DEVICE_HEIGHT)  // else the border
                    want += "p" + hit + " r" + hit + " ";
            }
        }
        EXPECT_EQ(r.pens, want);
    }
    unsetenv("QWS_DISPLAY");
    setHostLaunch(HostLaunch());
}

TEST(LaunchChoices, ScaleAndFullScreenShapeTheFirstWindow) {
    // Whole monitor, launch scale (0: the largest that fits) and rotation,
    // the ratio of the monitor the window opens on, and the whole scale it
    // shows there. On these 1920 x 1200 monitors the portrait screen fits 3
    // times at every ratio, with room for a frame; a window spans the scaled
    // screen's native pixels with less than one window pixel to spare.
    struct Case { bool fullScreen; int launch, rotation; qreal ratio; int scale; };
    const Case cases[] = {{false, 2, 3, 1, 2},    {true, 2, 3, 1, 5},     {false, 2, 3, 1.75, 2},
                          {false, 0, 0, 1, 3},    {false, 0, 0, 1.25, 3}, {false, 0, 0, 1.5, 3},
                          {false, 0, 0, 1.75, 3}, {false, 0, 0, 2, 3},    {true, 0, 0, 1.5, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.launch << (c.fullScreen ? " full at " : " at ") << c.ratio);
        setHostLaunch(HostLaunch{c.fullScreen, c.launch, c.rotation});
        Recorder r;
        DeviceWidget::Host* host = r.host();
        moveToMonitor(host, c.ratio);
        r.showNormal();
        DirectPainter{nullptr};  // the first frame
        QApplication::processEvents();
        EXPECT_EQ(host->isFullScreen(), c.fullScreen);
        const QSize native = host->size() * host->devicePixelRatioF();
        EXPECT_EQ(wholeScale(native.width(), native.height(), host->physicalWidth,
                             host->physicalHeight), c.scale);
        const QSize spare = native - QSize(host->physicalWidth, host->physicalHeight) * c.scale;
        if (c.fullScreen)
            EXPECT_EQ(host->size(), host->screen()->size());
        else
            EXPECT_TRUE(spare.width() >= 0 && spare.width() < c.ratio && spare.height() >= 0 &&
                        spare.height() < c.ratio) << spare.width() << "x" << spare.height();
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

// The whole scale at which the window, read back as the desktop gets it (its
// backing store, in native pixels), is `frame`: every framebuffer pixel a
// square block of native pixels of its own colour, as large as the window
// fits, centred on black; 0 when it is not that.
int scaleShown(Recorder& r, const std::vector<uint16_t>& frame) {
    QApplication::processEvents();
    DeviceWidget::Host* host = r.host();
    const int fbW = host->physicalWidth, fbH = host->physicalHeight;
    const QPaintDevice* store = host->backingStore()->paintDevice();
    if (store->devType() != QInternal::Image)
        return 0;
    QImage shot = static_cast<const QImage*>(store)->convertToFormat(QImage::Format_RGB32);
    shot.setDevicePixelRatio(1);
    const int s = wholeScale(shot.width(), shot.height(), fbW, fbH);
    QImage want(shot.size(), QImage::Format_RGB32);
    want.fill(Qt::black);
    QPainter(&want).drawImage(
        QRect((shot.width() - fbW * s) / 2, (shot.height() - fbH * s) / 2, fbW * s, fbH * s),
        QImage(reinterpret_cast<const uchar*>(frame.data()), fbW, fbH, QImage::Format_RGB16));
    return shot == want ? s : 0;
}

TEST(Presenting, WindowShowsTheFramebufferAtEveryRatioScaleAndRotationAndAfterEachChange) {
    // Display rotation, and the ratio of the monitor the window opens on; at
    // the end the window moves on to the next monitor, and takes the largest
    // scale that fits there again (3 upright, 4 turned).
    const std::pair<const char*, size_t> rows[] = {
        {"Transformed:Rot0", 0},   {"Transformed:Rot0", 1},   {"Transformed:Rot0", 2},
        {"Transformed:Rot0", 3},   {"Transformed:Rot0", 4},   {"Transformed:Rot90", 1},
        {"Transformed:Rot270", 3}};
    std::vector<uint16_t> frame(FRAMEBUFFER_BYTES / 2);
    for (auto [display, m] : rows) {
        const qreal ratio = RATIOS[m];
        SCOPED_TRACE(testing::Message() << display << " at " << ratio);
        setenv("QWS_DISPLAY", display, 1);
        Recorder r;
        moveToMonitor(r.host(), ratio);
        r.showNormal();
        const int fbW = r.host()->physicalWidth, fbH = r.host()->physicalHeight;
        for (int s = 1; s <= 4; ++s) {
            SCOPED_TRACE(testing::Message() << "scale " << s);
            // Resized first (borders of uneven widths), then a whole new frame.
            r.host()->resize(windowSpan(fbW * s + 7, ratio),
                             windowSpan(fbH * s + 2 * s + 1, ratio));
            present(frame, 0, int(frame.size()));
            EXPECT_EQ(scaleShown(r, frame), s);
            // A few rows change; then lone pixels on the last row of every tile
            // row and, half the screen away, on the first (the tiles next to
            // them stay), the screen's last pixel among them; then nothing.
            present(frame, 100 * fbW, 3 * fbW);
            for (int y = PRESENT_TILE - 1; y < fbH; y += PRESENT_TILE) {
                present(frame, y * fbW + (y * 7 + fbW - 1) % fbW, 1);
                present(frame, (y - PRESENT_TILE + 1) * fbW + (y * 7 + fbW / 2) % fbW, 1);
            }
            present(frame, 0, 0);
            EXPECT_EQ(scaleShown(r, frame), s);
        }
        // Frames presented while the window is hidden show when it comes back.
        r.host()->hide();
        present(frame, 5 * fbW, 40 * fbW);
        r.host()->show();
        EXPECT_EQ(scaleShown(r, frame), 4);
        moveToMonitor(r.host(), RATIOS[(m + 1) % std::size(RATIOS)]);
        present(frame, 0, 0);
        EXPECT_EQ(scaleShown(r, frame), fbW < fbH ? 3 : 4);
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

// The start-up warning and the fatal boxes stand centred over the game
// window, also when the window manager places the window after the box came
// up (here: the window moved and resized while the box is open).
TEST(MessageBox, CentredOverTheGameWindowWhereverItIsPlaced) {
    static int seen = 0;
    static auto centred = [](const QWidget* box) {
        const QPoint off = box->frameGeometry().center() - box->parentWidget()->geometry().center();
        return std::abs(off.x()) <= 1 && std::abs(off.y()) <= 1;
    };
    setMessageBoxProbe([](QWidget* box) {
        ++seen;
        EXPECT_TRUE(box->isVisible() && centred(box));
        QWidget* window = box->parentWidget();
        window->move(window->pos() + QPoint(700, 150));
        QApplication::processEvents();
        EXPECT_TRUE(centred(box));
        window->resize(window->size() / 2);
        QApplication::processEvents();
        EXPECT_TRUE(centred(box));
    });
    Recorder r;
    r.showNormal();
    messageBoxWarning(&r, "Failed to open audio device", "<qt>No sounds.</qt>");
    messageBoxCritical(&r, "Fatal Error", "Error loading title image");
    setMessageBoxProbe(nullptr);
    EXPECT_EQ(seen, 2);
}

} // namespace
