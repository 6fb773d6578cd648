// The desktop window behind the emulated device screen. Only platform/ code
// and tests include this header: it brings in Qt.
//
// The host window shows the device framebuffer (portrait 240 x 320, or
// landscape 320 x 240 when the display is turned a quarter turn) scaled by a
// whole factor, nearest neighbour, centred on black. It turns host key, mouse,
// activation and timer events into the device widget's event virtuals.
//
// Two kinds of host pixel: window pixels are Qt's logical pixels (widget
// sizes, event positions, paint regions); native pixels are the monitor's
// own, which the backing store holds, `ratio` of them to a window pixel (the
// desktop's scale: 1, 1.25, 1.5, 2...). The whole scale counts native pixels,
// so each framebuffer pixel is a square block of them at every ratio.
//
// Keys reach the device as the player pressed them: one press when a key goes
// down and one release when it comes up, never an auto-repeat, however the
// desktop marks its repeats. Alt+Enter switches the window between the whole
// monitor and a window; the picture keeps a whole scale, centred, in either.
// The mouse pointer hides while keys (or a gamepad) are used and comes back
// when the mouse moves.
//
// Presenting is incremental: the window keeps a copy of the framebuffer as it
// was last presented. A present compares the framebuffer with that copy in
// tiles, takes over the tiles that changed and asks Qt to repaint only those;
// a present that changed nothing costs one comparison and reaches neither Qt
// nor the display. Painting writes native pixels from the copy straight into
// the backing store, so whatever Qt repaints (expose, resize, un-minimise,
// full-screen switch, a new ratio) shows the last present.
#pragma once

#include <QWidget>

#include "platform/platform.h"

class QScreen;

struct DeviceWidget::Host : public QWidget {
    Host(DeviceWidget* device, int orientation);

    DeviceWidget* device;
    int orientation;           // display rotation fixed at creation, 0..3
    int physicalWidth;         // framebuffer pixels per row: 240, or 320 when turned
    int physicalHeight;        // framebuffer rows

    // Device widget state as the game sees it.
    bool visible = false;
    bool active = false;
    bool fullScreen = false;
    int clientWidth = DEVICE_WIDTH;   // pixels
    int clientHeight = DEVICE_HEIGHT;
    int flags = 0;
    int fullScreenCalls = 0;
    QByteArray caption;

    // Where the framebuffer is shown, in native pixels.
    struct Placement {
        qreal ratio;     // native pixels per window pixel (> 0)
        int scale;       // native pixels per framebuffer pixel, >= 1: the largest that fits
        QPoint origin;   // top-left corner of the shown framebuffer
    };
    Placement placement() const;             // at nativeRatio()
    Placement placementAt(qreal ratio) const;
    // The window's ratio; before it is first shown, that of the screen it will open on.
    qreal nativeRatio() const;

    // Window point -> device pixel (through ratio, scale, border and rotation),
    // and the centre of a device pixel as a window point. `mapToDevice` returns
    // false when the point is outside the shown framebuffer (the border).
    bool mapToDevice(QPointF window, int& x, int& y) const;
    QPointF mapFromDevice(int x, int y) const;

    // Activation as the game sees it; sends focusIn/focusOut on a change.
    void setDeviceActive(bool on);
    // Hands on a key release held back to see whether it was half of an
    // auto-repeat. Called before every frame and every other event.
    void flushRelease();

    // Brings the window up to date with the framebuffer. Called by
    // DirectPainter's destructor, after the game has written a frame.
    void present();

    // The window on its whole monitor, or back to how it was (Alt+Enter).
    void toggleMonitorFullScreen();
    // Hides the pointer over the window until the mouse moves.
    void hidePointer();

    // The window's size in window pixels on `screen`: the launch scale, or the
    // largest whole scale whose native pixels fit the screen's free area.
    QSize chosenSize(const QScreen* screen) const;
    // The fewest window pixels that hold the screen at whole scale `scale` at
    // `ratio`: rounded up, never smaller than the scaled screen.
    QSize sizeAt(int scale, qreal ratio) const;
    // After the ratio changed (another monitor, or the desktop's scale): an
    // ordinary window takes its chosen size again; a maximised or full-screen
    // one keeps the size the desktop gave it. Cheap when nothing changed.
    void followRatio();

protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    bool event(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    bool focusNextPrevChild(bool) override { return false; }

private:
    void paintRect(uint32_t* out, qsizetype stride, const QRect& r, const Placement& at) const;
    // A key pressed while the window had the keyboard and not yet released.
    struct DownKey {
        int id;                            // keyId(): the physical key
        int qtKey;                         // as pressed; its release goes on with this code
        bool sent;                         // the device saw the press, so it gets the release
    };
    DownKey* findDown(int id);
    void sendKey(int qtKey, bool press);
    void sendHeldAlt();                    // the held-back Alt press, now
    void showPointer();

    static constexpr int MAX_DOWN_KEYS = 32;  // keys beyond are ignored, with their releases
    DownKey down_[MAX_DOWN_KEYS] = {};
    int downCount_ = 0;
    bool altHeld_ = false;                 // the Alt press in down_ waits to see whether Enter follows
    bool releasePending_ = false;          // a release held back until the next event or frame
    int pendingId_ = 0;                    // keyId() of that release
    quint64 pendingTime_ = 0;              // its desktop timestamp, ms
    bool penDown_ = false;
    bool pointerHidden_ = false;
    QPointF hiddenAt_;                     // global pointer position when it was hidden
    qreal sizedRatio_ = 0;                 // the ratio the window's size was last chosen for
    uint16_t shown_[DEVICE_WIDTH * DEVICE_HEIGHT] = {};  // RGB565, the framebuffer as last presented
};

// Side of the square tiles a present compares and repaints, in framebuffer
// pixels; both screen sides are multiples of it. In play, 8-pixel tiles send
// the display about two thirds of the area 16-pixel tiles do, for a few more
// rectangles per frame, and cost less in the game and the X server together.
constexpr int PRESENT_TILE = 8;

// The host window of a device widget (tests: resize it, send it events).
QWidget* hostWindow(DeviceWidget* w);

// Scale factor for a framebuffer of `fbW` x `fbH` in an area of `w` x `h`
// native pixels: the largest that fits, at least 1.
int wholeScale(int w, int h, int fbW, int fbH);

// Tests: called with each message box once it is up, on every platform (the
// headless ones too, where a box is otherwise written to standard error); the
// box is closed when the call returns. Null ends this.
void setMessageBoxProbe(void (*probe)(QWidget* box));
