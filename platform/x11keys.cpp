// On an X server, held keys repeat as presses alone: no release comes between
// them, so a repeat never looks like a key let go, however late its press is
// read on a busy machine.
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include "platform/internal.h"

#if QT_CONFIG(xcb)
#include <X11/XKBlib.h>  // after Qt: its macros take names Qt uses
#endif

// XKB's detectable auto-repeat, for this program's connection only. Other
// platforms (Wayland, offscreen) mark their repeats themselves.
void detectAutoRepeat() {
#if QT_CONFIG(xcb)
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 && x11->display())
        XkbSetDetectableAutoRepeat(x11->display(), True, nullptr);
#endif
}
