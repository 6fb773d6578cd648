// The platform boundary: what the handheld's windowing and application
// libraries gave the game, rebuilt over Qt 6 Widgets for a desktop.
//
// No Qt type appears in this header. The application shell (app/) is the only
// caller of the window, timer and framebuffer operations; gfx/ decodes
// pictures through PlatformImage, settings/ and app/ use Config, and app/ and
// audio/ show message boxes.
//
// The emulated device: a 240 x 320 portrait desktop with a 16-bit RGB565
// framebuffer of 153600 bytes. A desktop host window shows that framebuffer,
// scaled by the largest whole factor that fits the screen, centred on black.
//
// Folder rule (CMakeLists.txt declares it, the include_direction test holds the
// sources to it): platform/ uses no other folder of the game and is the
// only one that may include Qt.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------------------
// Device geometry (whole run)
// ---------------------------------------------------------------------------
constexpr int DEVICE_WIDTH = 240;                 // pixels, portrait desktop
constexpr int DEVICE_HEIGHT = 320;                // pixels
constexpr int FRAMEBUFFER_BYTES = DEVICE_WIDTH * DEVICE_HEIGHT * 2; // 153600

// Widget flag value the game passes at creation and to setWFlags().
constexpr int WIDGET_STYLE_CUSTOMIZE = 0x10;

// ---------------------------------------------------------------------------
// Events as the game sees them (device coordinates, device key numbering)
// ---------------------------------------------------------------------------
// The host window sends one press when a key goes down and one release when it
// comes up (by the next timer event at the latest); auto-repeats of a held key
// never reach the game.
struct KeyEvent {
    int key;          // device key code: 0x1000 | n for special keys, ASCII upper case for letters
};

struct PenEvent {
    int x, y;         // device pixels, 0..239 x 0..319 when on the screen
};

// Translates a Qt 6 key code (Qt::Key) into the device numbering: special keys
// 0x01000000 | n become 0x1000 | n (n < 0x1000); other special keys become
// 0xffff (unknown); everything below 0x01000000 is kept as it is.
int deviceKeyCode(int qtKey);

// ---------------------------------------------------------------------------
// DeviceWidget: the one top-level window of an application on the device.
// The game's widget derives from it and overrides the event virtuals.
// Geometry is the client rectangle in device pixels.
// ---------------------------------------------------------------------------
class DeviceWidget {
public:
    DeviceWidget(const char* name, int flags);
    virtual ~DeviceWidget();
    // Owns its host window: a copy would delete it twice.
    DeviceWidget(const DeviceWidget&) = delete;
    DeviceWidget& operator=(const DeviceWidget&) = delete;

    // Event virtuals, called on the GUI thread by the host window, the timer
    // or the test driver.
    virtual void timerEvent() {}
    virtual void mousePressEvent(const PenEvent&) {}
    virtual void mouseReleaseEvent(const PenEvent&) {}
    virtual void mouseMoveEvent(const PenEvent&) {}
    virtual void keyPressEvent(const KeyEvent&) {}
    virtual void keyReleaseEvent(const KeyEvent&) {}
    virtual void focusInEvent() {}
    virtual void focusOutEvent() {}
    virtual void resizeEvent() {}

    // Asked by the host window on every Alt press, with Alt's device key code.
    // True while that key must reach the widget the moment it is pressed (a
    // game in play, or a key the game is bound to); otherwise a lone Alt press
    // is held back until it is clear whether Enter follows (Alt+Enter switches
    // the window to the whole monitor and back, and neither of its keys
    // reaches the widget).
    virtual bool wantsKeyAtOnce(int /*key*/) const { return false; }

    void setCaption(const char* latin1);
    const char* caption() const;          // Latin-1, valid while the widget lives
    void setFixedSize(int w, int h);      // resizes the client area (sends resizeEvent)
    void showNormal();
    void setWFlags(int flags);
    void showFullScreen();                // covers the whole device screen
    bool isVisible() const;
    bool isActiveWindow() const;
    bool isFullScreen() const;
    int width() const;                    // client rectangle, pixels
    int height() const;
    int startTimer(int ms);               // precise periodic timer; returns its id (> 0)

    struct Host;                          // the host window behind the device screen
    Host* host() const { return host_; }

private:
    Host* host_;
};

int desktopWidth();                       // 240
int desktopHeight();                      // 320

// ---------------------------------------------------------------------------
// Application object. Exactly one exists; create it before any widget.
// ---------------------------------------------------------------------------
class PlatformApplication {
public:
    PlatformApplication(int& argc, char** argv);
    ~PlatformApplication();
    int exec();                            // runs the event loop until quit
    // Ends the event loop: exec() returns once the current event is handled,
    // or at once if the loop has not started yet. quitting() tells whether
    // that has been asked for (a quit signal asks it too).
    static void quit();
    static bool quitting();
    static void processEvents();           // delivers pending events now
    static void showMainWidget(DeviceWidget* w, bool noMaximize);
    static void grabKeyboard();            // a desktop has no hardware keys: records the request only
    // Called by a run that does its work without the event loop (a replay's
    // verification), once the application exists: a termination request then
    // ends the process by the signal itself (status 128 + signal to a shell),
    // so an interrupted run never reports the status of a finished one.
    static void workOutsideTheLoop();

private:
    bool ownsApplication_ = false;         // this object made the Qt application
};

// ---------------------------------------------------------------------------
// Display choices made at launch (the command line). The entry function sets
// them once, before the game window exists; the host window reads them when
// it is created (scale, rotation) and shown (full screen), and the rotation
// replaces QWS_DISPLAY's for transformOrientation() for the whole run.
// ---------------------------------------------------------------------------
struct HostLaunch {
    bool fullScreen = false;   // the window opens covering its whole monitor
    int scale = 0;             // whole scale of the window's first size; 0: the largest that fits
    int orientation = -1;      // 0..3 as Rot0, Rot90, Rot180, Rot270; -1: from QWS_DISPLAY
};
void setHostLaunch(const HostLaunch& launch);

// Installation directory, ending in a slash: $QPEDIR when set (a slash is added
// if missing), otherwise the folder above the executable's bin/ folder.
const char* qpeDir();

// ---------------------------------------------------------------------------
// Direct framebuffer access for the whole device screen
// ---------------------------------------------------------------------------
class DirectPainter {
public:
    explicit DirectPainter(DeviceWidget* w);
    ~DirectPainter();                      // the host window shows the new contents
    uint8_t* frameBuffer();                // FRAMEBUFFER_BYTES bytes
    static int transformOrientation();     // 0, 1 (Rot90), 2 (Rot180), 3 (Rot270) from QWS_DISPLAY
};

// Input that does not move the mouse (a gamepad): the mouse pointer hides
// over the game window until the mouse moves, as it does for keys. Called by
// the pad code on the GUI thread whenever a pad control is used.
void noteNonPointerInput();

// ---------------------------------------------------------------------------
// Modal message boxes with one OK button. With no display to show them on
// (the offscreen host) the box is written to standard error and dismissed.
// ---------------------------------------------------------------------------
void messageBoxCritical(DeviceWidget* parent, const char* title, const char* text);
void messageBoxWarning(DeviceWidget* parent, const char* title, const char* text);

// ---------------------------------------------------------------------------
// Picture decoding. The decoded image is 1, 8 (colour table), 16 (RGB565) or
// 32 bits (0xAARRGGBB) per pixel; other file depths are converted to 32.
// Bitmaps stored as RGB565 arrive at 16 bits with their values unchanged. A
// missing or damaged file makes load() return false without printing
// anything; the caller reports it. Called by the picture loader at start-up.
// ---------------------------------------------------------------------------
class PlatformImage {
public:
    PlatformImage();
    ~PlatformImage();
    PlatformImage(const PlatformImage&) = delete;
    PlatformImage& operator=(const PlatformImage&) = delete;

    bool load(const char* path);           // format recognised from the file contents
    int width() const;
    int height() const;
    int depth() const;
    int colorCount() const;                // entries of the colour table (depth 8)
    uint32_t color(int i) const;           // 0xAARRGGBB
    const uint8_t* scanLine(int y) const;
    int bytesPerLine() const;              // scan lines may be padded

private:
    struct Impl;
    Impl* impl_;
};
