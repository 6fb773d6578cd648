// The handheld's window system rebuilt on Qt 6 Widgets: the device widget and
// its host window, the application object, the framebuffer, timers, message
// boxes, the installation directory, the clock and the test driver.
#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimerEvent>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "platform/host.h"
#include "platform/platform.h"

namespace {

// The device screen as the game writes it, in the display's own orientation.
alignas(8) uint8_t framebuffer[FRAMEBUFFER_BYTES];

QApplication* application = nullptr;
int grabRequests = 0;
MessageBoxHook messageBoxHook = nullptr;
TimeSource timeSource = nullptr;
HostLaunch hostLaunch;

// Periodic timers of the device widgets. With the manual test timer the Qt
// timers are never started and tick() fires them instead.
struct DeviceTimer {
    DeviceWidget* widget;
    int id;        // id handed to the game (> 0)
    int qtId;      // Qt timer id, 0 when not started
};
std::vector<DeviceTimer> timers;
int nextTimerId = 1;
bool manualTimer = false;

// Every live host window, the latest first; the test driver talks to the
// latest one.
std::vector<DeviceWidget::Host*> hosts;

DeviceWidget::Host* currentHost() {
    return hosts.empty() ? nullptr : hosts.back();
}

bool headlessPlatform() {
    if (!QGuiApplication::instance())
        return true;
    const QString name = QGuiApplication::platformName();
    return name == QLatin1String("offscreen") || name == QLatin1String("minimal");
}

// Rich-text markup is meaningless on a terminal: "<qt>text</qt>" prints as "text".
std::string plainText(const char* text) {
    std::string out;
    bool inTag = false;
    for (const char* p = text ? text : ""; *p; ++p) {
        if (*p == '<')
            inTag = true;
        else if (*p == '>' && inTag)
            inTag = false;
        else if (!inTag)
            out += *p;
    }
    return out;
}

void messageBox(bool critical, DeviceWidget* parent, const char* title, const char* text) {
    if (messageBoxHook) {
        messageBoxHook(critical, title ? title : "", text ? text : "");
        return;
    }
    if (headlessPlatform()) {
        // Nobody could click the box: it is reported and dismissed at once.
        std::fprintf(stderr, "%s: %s\n", title ? title : "", plainText(text).c_str());
        std::fflush(stderr);
        return;
    }
    QMessageBox box(critical ? QMessageBox::Critical : QMessageBox::Warning,
                    QString::fromLatin1(title ? title : ""), QString::fromLatin1(text ? text : ""),
                    QMessageBox::Ok, parent ? parent->host() : nullptr);
    box.exec();
}

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

// ---------------------------------------------------------------------------
// Key codes
// ---------------------------------------------------------------------------

int deviceKeyCode(int qtKey) {
    constexpr int QT_SPECIAL = 0x01000000;   // Qt 6 special keys: QT_SPECIAL | n
    constexpr int DEVICE_SPECIAL = 0x1000;   // the device's: DEVICE_SPECIAL | n
    constexpr int DEVICE_UNKNOWN = 0xffff;
    if (qtKey < 0)
        return DEVICE_UNKNOWN;
    if (qtKey >= QT_SPECIAL) {
        const int n = qtKey - QT_SPECIAL;
        return n < DEVICE_SPECIAL ? (DEVICE_SPECIAL | n) : DEVICE_UNKNOWN;
    }
    return qtKey;
}

// ---------------------------------------------------------------------------
// Host window
// ---------------------------------------------------------------------------

int wholeScale(int w, int h, int fbW, int fbH) {
    if (fbW <= 0 || fbH <= 0)
        return 1;
    const int s = std::min(w / fbW, h / fbH);
    return s < 1 ? 1 : s;
}

DeviceWidget::Host::Host(DeviceWidget* d, int rotation) : device(d), orientation(rotation) {
    const bool turned = orientation == 1 || orientation == 3;
    physicalWidth = turned ? DEVICE_HEIGHT : DEVICE_WIDTH;
    physicalHeight = turned ? DEVICE_WIDTH : DEVICE_HEIGHT;

    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);  // moves without a button show a hidden pointer
    setMinimumSize(physicalWidth, physicalHeight);

    // Start at the chosen scale, or the largest whole scale that fits the
    // screen's free area.
    int s = hostLaunch.scale > 0 ? hostLaunch.scale : 1;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen && hostLaunch.scale <= 0) {
        const QRect avail = screen->availableGeometry();
        // Leave room for the window frame and title bar.
        constexpr int FRAME_ALLOWANCE = 64;  // pixels
        s = wholeScale(avail.width() - FRAME_ALLOWANCE / 2, avail.height() - FRAME_ALLOWANCE,
                       physicalWidth, physicalHeight);
    }
    resize(physicalWidth * s, physicalHeight * s);
    // Shown later by the game; it then opens on the whole monitor.
    if (hostLaunch.fullScreen)
        setWindowState(Qt::WindowFullScreen);
}

int DeviceWidget::Host::scale() const {
    return wholeScale(width(), height(), physicalWidth, physicalHeight);
}

QPoint DeviceWidget::Host::origin() const {
    const int s = scale();
    return QPoint((width() - physicalWidth * s) / 2, (height() - physicalHeight * s) / 2);
}

bool DeviceWidget::Host::mapToDevice(QPoint window, int& x, int& y) const {
    const int s = scale();
    const QPoint o = origin();
    const int dx = window.x() - o.x();
    const int dy = window.y() - o.y();
    // Floor division, so the border left of and above the screen stays negative.
    const int col = dx >= 0 ? dx / s : -((-dx + s - 1) / s);
    const int row = dy >= 0 ? dy / s : -((-dy + s - 1) / s);
    const bool inside = col >= 0 && col < physicalWidth && row >= 0 && row < physicalHeight;
    switch (orientation) {
    case 1:  // device (x, y) is shown at column y, row 239 - x
        x = DEVICE_WIDTH - 1 - row;
        y = col;
        break;
    case 3:  // device (x, y) is shown at column 319 - y, row x
        x = row;
        y = DEVICE_HEIGHT - 1 - col;
        break;
    case 2:
        x = DEVICE_WIDTH - 1 - col;
        y = DEVICE_HEIGHT - 1 - row;
        break;
    default:
        x = col;
        y = row;
        break;
    }
    return inside;
}

QPoint DeviceWidget::Host::mapFromDevice(int x, int y) const {
    int col = x, row = y;
    switch (orientation) {
    case 1: col = y; row = DEVICE_WIDTH - 1 - x; break;
    case 3: col = DEVICE_HEIGHT - 1 - y; row = x; break;
    case 2: col = DEVICE_WIDTH - 1 - x; row = DEVICE_HEIGHT - 1 - y; break;
    default: break;
    }
    const int s = scale();
    const QPoint o = origin();
    return QPoint(o.x() + col * s + s / 2, o.y() + row * s + s / 2);
}

void DeviceWidget::Host::setDeviceActive(bool on) {
    if (on == active)
        return;
    active = on;
    // Keys pressed while the window was left never send their releases here.
    altDown_ = altHeld_ = altSent_ = false;
    swallowedKey_ = 0;
    if (on)
        device->focusInEvent();
    else
        device->focusOutEvent();
}

// ---------------------------------------------------------------------------
// Presentation
// ---------------------------------------------------------------------------

namespace {

static_assert(DEVICE_WIDTH % PRESENT_TILE == 0 && DEVICE_HEIGHT % PRESENT_TILE == 0);
static_assert(DEVICE_HEIGHT / PRESENT_TILE <= 64);  // a row of tiles fits one 64-bit mask
constexpr int TILE_BYTES = PRESENT_TILE * 2;  // one tile row of RGB565 pixels
constexpr int TILE_WORDS = TILE_BYTES / 8;    // the same in 64-bit words

// An RGB565 pixel as opaque 32-bit RGB, each channel widened by repeating its
// top bits, the way Qt converts 16-bit images: full intensity stays full.
inline uint32_t rgb32(uint16_t p) {
    const uint32_t r = p >> 11, g = (p >> 5) & 0x3f, b = p & 0x1f;
    return 0xff000000u | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

// `count` RGB565 pixels as 32-bit RGB, eight at a time in the vector
// extension of GCC and Clang (the same arithmetic as rgb32, lane by lane).
typedef uint16_t PixelLanes __attribute__((vector_size(16)));
typedef uint32_t WideLanes __attribute__((vector_size(32)));
constexpr int LANES = int(sizeof(PixelLanes) / sizeof(uint16_t));

void widen(uint32_t* out, const uint16_t* src, int count) {
    int i = 0;
    for (; i + LANES <= count; i += LANES) {
        PixelLanes p;
        std::memcpy(&p, src + i, sizeof p);
        const WideLanes w = __builtin_convertvector(p, WideLanes);
        const WideLanes r = w >> 11, g = (w >> 5) & 0x3f, b = w & 0x1f;
        const WideLanes v = 0xff000000u | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) |
                            (b << 3 | b >> 2);
        std::memcpy(out + i, &v, sizeof v);
    }
    for (; i < count; ++i)
        out[i] = rgb32(src[i]);
}

// Bit t set when tile column t of the framebuffer row differs from the copy.
uint64_t changedTilesInRow(const uint8_t* row, const uint16_t* copy, int tiles) {
    uint64_t changed = 0;
    const auto* old = reinterpret_cast<const uint8_t*>(copy);
    for (int t = 0; t < tiles; ++t) {
        uint64_t diff = 0;
        for (int w = 0; w < TILE_WORDS; ++w) {
            uint64_t a, b;
            std::memcpy(&a, row + (t * TILE_WORDS + w) * 8, 8);
            std::memcpy(&b, old + (t * TILE_WORDS + w) * 8, 8);
            diff |= a ^ b;
        }
        changed |= uint64_t(diff != 0) << t;
    }
    return changed;
}

} // namespace

void DeviceWidget::Host::present() {
    const int s = scale();
    const QPoint o = origin();
    const int tilesX = physicalWidth / PRESENT_TILE;
    const int rowBytes = physicalWidth * 2;
    QRegion changed;
    for (int top = 0; top < physicalHeight; top += PRESENT_TILE) {
        uint64_t tiles = 0;
        for (int y = top; y < top + PRESENT_TILE; ++y) {
            const uint8_t* row = framebuffer + y * rowBytes;
            uint16_t* copy = shown_ + y * physicalWidth;
            if (std::memcmp(row, copy, size_t(rowBytes)) != 0)
                tiles |= changedTilesInRow(row, copy, tilesX);
        }
        // Runs of changed tiles: copied into shown_, and one rectangle each;
        // QRegion joins the runs of neighbouring tile rows that line up.
        for (int tx = 0; tx < tilesX;) {
            if (!(tiles >> tx & 1)) {
                ++tx;
                continue;
            }
            const int first = tx;
            while (tx < tilesX && (tiles >> tx & 1))
                ++tx;
            for (int y = top; y < top + PRESENT_TILE; ++y)
                std::memcpy(shown_ + y * physicalWidth + first * PRESENT_TILE,
                            framebuffer + y * rowBytes + first * TILE_BYTES,
                            size_t(tx - first) * TILE_BYTES);
            changed += QRect(o.x() + first * PRESENT_TILE * s, o.y() + top * s,
                             (tx - first) * PRESENT_TILE * s, PRESENT_TILE * s);
        }
    }
    if (!changed.isEmpty())
        update(changed);
}

namespace {

// Each of `count` pixels of `wide` written `S` times over.
template <int S>
uint32_t* spreadBy(uint32_t* out, const uint32_t* wide, int count) {
    for (int i = 0; i < count; ++i)
        for (int k = 0; k < S; ++k)
            *out++ = wide[i];
    return out;
}

uint32_t* spread(uint32_t* out, const uint32_t* wide, int count, int s) {
    switch (s) {
    case 1: return spreadBy<1>(out, wide, count);
    case 2: return spreadBy<2>(out, wide, count);
    case 3: return spreadBy<3>(out, wide, count);
    case 4: return spreadBy<4>(out, wide, count);
    default:
        for (int i = 0; i < count; ++i)
            out = std::fill_n(out, s, wide[i]);
        return out;
    }
}

} // namespace

// Writes window rectangle `r` as 32-bit RGB into `out` (the pixel for the
// rectangle's top-left corner; `stride` pixels from one line to the next):
// shown_ replicated by the whole scale where the screen is, black around it.
void DeviceWidget::Host::paintRect(uint32_t* out, qsizetype stride, const QRect& r) const {
    constexpr uint32_t BLACK = 0xff000000u;
    const int s = scale();
    const QPoint o = origin();
    const int left = std::max(r.left(), o.x());          // window columns showing the screen
    const int right = std::min(r.right() + 1, o.x() + physicalWidth * s);
    // Screen columns first..last are shown, `skip` window columns of the first
    // and `keep` of the last (the same one when only one is shown).
    const int first = (left - o.x()) / s, last = (right - 1 - o.x()) / s;
    const int skip = left - o.x() - first * s, keep = right - o.x() - last * s;
    uint32_t wide[DEVICE_HEIGHT];                        // one screen row, widened (320 at most)
    for (int y = r.top(); y <= r.bottom(); ++y, out += stride) {
        const int row = y - o.y();
        if (row < 0 || row >= physicalHeight * s || left >= right) {
            std::fill(out, out + r.width(), BLACK);
            continue;
        }
        // A line repeats the one above it unless it starts a new screen row.
        if (y > r.top() && row % s != 0) {
            std::memcpy(out, out - stride, size_t(r.width()) * 4);
            continue;
        }
        const uint16_t* src = shown_ + (row / s) * physicalWidth;
        widen(wide, src + first, last - first + 1);
        uint32_t* p = std::fill_n(out, left - r.left(), BLACK);
        if (first == last) {
            p = std::fill_n(p, keep - skip, wide[0]);
        } else {
            p = std::fill_n(p, s - skip, wide[0]);
            p = spread(p, wide + 1, last - first - 1, s);
            p = std::fill_n(p, keep, wide[last - first]);
        }
        std::fill(p, out + r.width(), BLACK);
    }
}

// Only what Qt asks for is drawn. Where the painter writes straight into a
// 32-bit image at whole pixels (the window's backing store), the pixels are
// put there directly; anywhere else they go through a small image of the
// rectangle, drawn without smoothing.
void DeviceWidget::Host::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    QPaintDevice* device = p.paintEngine() ? p.paintEngine()->paintDevice() : nullptr;
    QImage* image = device && device->devType() == QInternal::Image ? static_cast<QImage*>(device)
                                                                     : nullptr;
    const QTransform t = p.deviceTransform();
    const bool direct = image && image->depth() == 32 && image->devicePixelRatio() == 1.0 &&
                        t.type() <= QTransform::TxTranslate && t.dx() == int(t.dx()) &&
                        t.dy() == int(t.dy()) &&
                        (image->format() == QImage::Format_RGB32 ||
                         image->format() == QImage::Format_ARGB32 ||
                         image->format() == QImage::Format_ARGB32_Premultiplied);
    const QPoint shift = direct ? QPoint(int(t.dx()), int(t.dy())) : QPoint();
    for (QRect r : e->region()) {
        if (direct) {
            r &= image->rect().translated(-shift);
            if (r.isEmpty())
                continue;
            const QPoint at = r.topLeft() + shift;
            auto* line = reinterpret_cast<uint32_t*>(image->scanLine(at.y())) + at.x();
            paintRect(line, image->bytesPerLine() / 4, r);
        } else {
            QImage part(r.size(), QImage::Format_RGB32);
            paintRect(reinterpret_cast<uint32_t*>(part.bits()), part.bytesPerLine() / 4, r);
            p.drawImage(r.topLeft(), part);
        }
    }
}

void DeviceWidget::Host::sendKey(int qtKey, bool press, bool autoRepeat) {
    const KeyEvent k{deviceKeyCode(qtKey), autoRepeat};
    if (press)
        device->keyPressEvent(k);
    else
        device->keyReleaseEvent(k);
}

void DeviceWidget::Host::sendHeldAlt() {
    if (!altHeld_)
        return;
    altHeld_ = false;
    altSent_ = true;
    sendKey(Qt::Key_Alt, true, false);
}

// Alt+Enter belongs to the window, every other key to the device. On screens
// where any key acts, a lone Alt press waits: Enter next makes it part of the
// combination and the device sees neither key; any other key, or Alt's own
// release, hands it on first, so Alt still works as a key of its own (acting
// a moment later). In play it is handed on at once.
void DeviceWidget::Host::keyPressEvent(QKeyEvent* e) {
    hidePointer();
    const int key = e->key();
    if (swallowedKey_ && key == swallowedKey_)
        return;  // the toggling Enter, repeating
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (enter && (altDown_ || (e->modifiers() & Qt::AltModifier))) {
        altHeld_ = false;
        swallowedKey_ = key;
        toggleMonitorFullScreen();
        return;
    }
    if (key == Qt::Key_Alt && !e->isAutoRepeat() && !altDown_) {
        altDown_ = altHeld_ = true;
        if (device->wantsKeysAtOnce())
            sendHeldAlt();
        return;
    }
    if (key == Qt::Key_Alt && altHeld_)
        return;  // repeats of the waiting press
    sendHeldAlt();
    sendKey(key, true, e->isAutoRepeat());
}

void DeviceWidget::Host::keyReleaseEvent(QKeyEvent* e) {
    const int key = e->key();
    if (swallowedKey_ && key == swallowedKey_) {
        if (!e->isAutoRepeat())
            swallowedKey_ = 0;
        return;
    }
    if (key == Qt::Key_Alt && !e->isAutoRepeat()) {
        altDown_ = false;
        sendHeldAlt();  // Alt tapped alone
        if (!altSent_)
            return;     // its press belonged to Alt+Enter, or came before the focus
        altSent_ = false;
    }
    sendKey(key, false, e->isAutoRepeat());
}

// Keeps a maximised window maximised underneath.
void DeviceWidget::Host::toggleMonitorFullScreen() {
    setWindowState(windowState() ^ Qt::WindowFullScreen);
}

void DeviceWidget::Host::hidePointer() {
    if (pointerHidden_)
        return;
    pointerHidden_ = true;
    hiddenAt_ = QCursor::pos(screen());
    setCursor(Qt::BlankCursor);
}

void DeviceWidget::Host::showPointer() {
    if (!pointerHidden_)
        return;
    pointerHidden_ = false;
    unsetCursor();
}

// The pen is the left mouse button: a press on the screen (not the border)
// starts a stroke, moves with the button held continue it, the release ends
// it. Points of a stroke that stray into the border are clamped to the screen.
void DeviceWidget::Host::mousePressEvent(QMouseEvent* e) {
    showPointer();
    if (e->button() != Qt::LeftButton)
        return;
    int x, y;
    if (!mapToDevice(e->position().toPoint(), x, y))
        return;
    penDown_ = true;
    device->mousePressEvent(PenEvent{x, y});
}

static PenEvent clampedPen(int x, int y) {
    return PenEvent{std::clamp(x, 0, DEVICE_WIDTH - 1), std::clamp(y, 0, DEVICE_HEIGHT - 1)};
}

void DeviceWidget::Host::mouseMoveEvent(QMouseEvent* e) {
    // A window that moves or resizes under a still pointer is no mouse use.
    if (e->globalPosition() != hiddenAt_)
        showPointer();
    if (!penDown_ || !(e->buttons() & Qt::LeftButton))
        return;
    int x, y;
    mapToDevice(e->position().toPoint(), x, y);
    device->mouseMoveEvent(clampedPen(x, y));
}

void DeviceWidget::Host::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !penDown_)
        return;
    penDown_ = false;
    int x, y;
    mapToDevice(e->position().toPoint(), x, y);
    device->mouseReleaseEvent(clampedPen(x, y));
}

void DeviceWidget::Host::changeEvent(QEvent* e) {
    // Under the test driver, activation comes from testdriver::setActive only.
    if (e->type() == QEvent::ActivationChange && !manualTimer)
        setDeviceActive(isActiveWindow());
    QWidget::changeEvent(e);
}

void DeviceWidget::Host::timerEvent(QTimerEvent* e) {
    if (manualTimer)
        return;
    for (const DeviceTimer& t : timers) {
        if (t.qtId == e->timerId() && t.widget == device) {
            device->timerEvent();
            return;
        }
    }
}

QWidget* hostWindow(DeviceWidget* w) {
    return w ? w->host() : nullptr;
}

// ---------------------------------------------------------------------------
// DeviceWidget
// ---------------------------------------------------------------------------

DeviceWidget::DeviceWidget(const char* name, int flags) {
    host_ = new Host(this, DirectPainter::transformOrientation());
    host_->setObjectName(QString::fromLatin1(name ? name : ""));
    host_->flags = flags;
    hosts.push_back(host_);
}

DeviceWidget::~DeviceWidget() {
    for (size_t i = 0; i < timers.size();) {
        if (timers[i].widget == this) {
            if (timers[i].qtId)
                host_->killTimer(timers[i].qtId);
            timers.erase(timers.begin() + long(i));
        } else {
            ++i;
        }
    }
    std::erase(hosts, host_);
    delete host_;
}

void DeviceWidget::setCaption(const char* latin1) {
    host_->caption = QByteArray(latin1 ? latin1 : "");
    host_->setWindowTitle(QString::fromLatin1(host_->caption));
}

const char* DeviceWidget::caption() const {
    return host_->caption.constData();
}

void DeviceWidget::setFixedSize(int w, int h) {
    if (w == host_->clientWidth && h == host_->clientHeight)
        return;
    host_->clientWidth = w;
    host_->clientHeight = h;
    resizeEvent();
}

void DeviceWidget::showNormal() {
    host_->fullScreen = false;
    host_->visible = true;
    host_->show();
}

void DeviceWidget::setWFlags(int flags) {
    host_->flags = flags;
}

// Full screen on the device means covering the whole device screen; on the
// desktop the host window stays an ordinary window that shows that screen.
void DeviceWidget::showFullScreen() {
    ++host_->fullScreenCalls;
    host_->fullScreen = true;
    host_->visible = true;
    host_->show();
}

bool DeviceWidget::isVisible() const { return host_->visible; }
bool DeviceWidget::isActiveWindow() const { return host_->active; }
bool DeviceWidget::isFullScreen() const { return host_->fullScreen; }
int DeviceWidget::width() const { return host_->clientWidth; }
int DeviceWidget::height() const { return host_->clientHeight; }
int DeviceWidget::showFullScreenCalls() const { return host_->fullScreenCalls; }

int DeviceWidget::startTimer(int ms) {
    DeviceTimer t{this, nextTimerId++, 0};
    if (!manualTimer)
        t.qtId = host_->startTimer(ms, Qt::PreciseTimer);
    timers.push_back(t);
    return t.id;
}

int desktopWidth() { return DEVICE_WIDTH; }
int desktopHeight() { return DEVICE_HEIGHT; }

// ---------------------------------------------------------------------------
// Application
// ---------------------------------------------------------------------------

// Termination requests (SIGTERM when the session ends, SIGINT from a terminal,
// SIGHUP when the terminal goes away) end the event loop like any other quit
// from the platform, so the shell's teardown runs and the sound device is
// closed. The handler only writes a byte into a pipe; the GUI thread reads it.
// The handlers are in place before the sound library starts, which then
// leaves them alone (it would otherwise catch SIGTERM and never act on it). A
// signal the process was started with ignored (nohup, a background job) stays
// ignored.
namespace {
constexpr int QUIT_SIGNALS[] = {SIGTERM, SIGINT, SIGHUP};
int quitPipe[2] = {-1, -1};     // read end, write end
bool quitRequested = false;     // a quit signal has been read on the GUI thread

// The first request is passed on; the signal then takes its default action
// again, so that a second request ends a game that no longer answers.
void onQuitSignal(int sig) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(quitPipe[1], &byte, 1);
    signal(sig, SIG_DFL);
    errno = saved;
}

void catchQuitSignals() {
    if (pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, application);
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char bytes[16];
        while (read(quitPipe[0], bytes, sizeof bytes) > 0) {
        }
        quitRequested = true;
        QCoreApplication::quit();
    });
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
        application = new QApplication(argc, argv);
        ownsApplication_ = true;
        catchQuitSignals();
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

int PlatformApplication::exec() {
    // A request that came before the loop ran (during set-up) still counts.
    if (quitRequested)
        return 0;
    return QApplication::exec();
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

int PlatformApplication::keyboardGrabs() {
    return grabRequests;
}

void setHostLaunch(const HostLaunch& launch) {
    hostLaunch = launch;
}

// "/opt/x/bin/game" gives "/opt/x/". A QPEDIR too long for any path is cut.
const char* qpeDir() {
    static char dir[PATH_MAX + 2];
    size_t n = 0;
    const char* env = std::getenv("QPEDIR");
    if (env && *env) {
        n = std::min(std::strlen(env), sizeof dir - 2);
        std::memcpy(dir, env, n);
    } else {
        const ssize_t len = readlink("/proc/self/exe", dir, sizeof dir - 2);
        if (len > 0) {
            // Index of the last slash before `end`, or -1.
            auto lastSlash = [](const char* p, ptrdiff_t end) {
                while (end > 0 && p[end - 1] != '/')
                    --end;
                return end - 1;
            };
            // Drop the file name, then the folder holding it (its bin/).
            const ptrdiff_t file = lastSlash(dir, len);
            const ptrdiff_t up = lastSlash(dir, file < 0 ? 0 : file);
            if (up < 0)
                dir[0] = '.';           // no folder above: the current one
            n = up <= 0 ? 1 : size_t(up); // up == 0: the root folder
        } else {
            std::memcpy(dir, "..", 2);
            n = 2;
        }
    }
    if (dir[n - 1] != '/')
        dir[n++] = '/';
    dir[n] = '\0';
    return dir;
}

// ---------------------------------------------------------------------------
// Framebuffer
// ---------------------------------------------------------------------------

DirectPainter::DirectPainter(DeviceWidget*) {}

DirectPainter::~DirectPainter() {
    for (DeviceWidget::Host* h : hosts)
        h->present();
}

uint8_t* DirectPainter::frameBuffer() {
    return framebuffer;
}

int DirectPainter::transformOrientation() {
    if (hostLaunch.orientation >= 0)
        return hostLaunch.orientation;
    const char* display = std::getenv("QWS_DISPLAY");
    if (!display || !std::strstr(display, "Transformed"))
        return 0;
    if (std::strstr(display, "Rot90"))
        return 1;
    if (std::strstr(display, "Rot180"))
        return 2;
    if (std::strstr(display, "Rot270"))
        return 3;
    return 0;
}

void noteNonPointerInput() {
    for (DeviceWidget::Host* h : hosts)
        h->hidePointer();
}

uint8_t* deviceFrameBuffer() {
    return framebuffer;
}

// ---------------------------------------------------------------------------
// Message boxes
// ---------------------------------------------------------------------------

void messageBoxCritical(DeviceWidget* parent, const char* title, const char* text) {
    messageBox(true, parent, title, text);
}

void messageBoxWarning(DeviceWidget* parent, const char* title, const char* text) {
    messageBox(false, parent, title, text);
}

void setMessageBoxHook(MessageBoxHook hook) {
    messageBoxHook = hook;
}

// ---------------------------------------------------------------------------
// Clock
// ---------------------------------------------------------------------------

int64_t steadyClockMs() {
    if (timeSource)
        return timeSource();
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + int64_t(ts.tv_nsec) / 1000000;
}

void setTimeSource(TimeSource source) {
    timeSource = source;
}

// ---------------------------------------------------------------------------
// Test driver
// ---------------------------------------------------------------------------

namespace testdriver {

void setManualTimer(bool manual) {
    manualTimer = manual;
    if (!manual)
        return;
    for (DeviceTimer& t : timers) {
        if (t.qtId) {
            t.widget->host()->killTimer(t.qtId);
            t.qtId = 0;
        }
    }
}

void tick() {
    // Copy first: a timer event may end up creating or deleting widgets.
    const std::vector<DeviceTimer> now = timers;
    for (const DeviceTimer& t : now)
        t.widget->timerEvent();
}

void sendKey(int qtKey, bool press, bool autoRepeat) {
    DeviceWidget::Host* h = currentHost();
    if (!h)
        return;
    QKeyEvent e(press ? QEvent::KeyPress : QEvent::KeyRelease, qtKey, Qt::NoModifier, QString(),
                autoRepeat);
    QCoreApplication::sendEvent(h, &e);
}

void sendMouse(int deviceX, int deviceY, int kind) {
    DeviceWidget::Host* h = currentHost();
    if (!h)
        return;
    const QPointF local(h->mapFromDevice(deviceX, deviceY));
    const QPointF global = QPointF(h->mapToGlobal(local.toPoint()));
    QEvent::Type type = QEvent::MouseButtonPress;
    Qt::MouseButton button = Qt::LeftButton;
    Qt::MouseButtons buttons = Qt::LeftButton;
    if (kind == 1) {
        type = QEvent::MouseMove;
        button = Qt::NoButton;
    } else if (kind == 2) {
        type = QEvent::MouseButtonRelease;
        buttons = Qt::NoButton;
    }
    QMouseEvent e(type, local, global, button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(h, &e);
}

void setActive(bool active) {
    if (DeviceWidget::Host* h = currentHost())
        h->setDeviceActive(active);
}

void resizeWindow(int width, int height) {
    if (DeviceWidget::Host* h = currentHost())
        h->resize(width, height);
}

} // namespace testdriver
