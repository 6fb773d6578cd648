// The host window's keyboard: which host key events reach the device widget,
// auto-repeats told apart from real presses and releases, and Alt+Enter,
// which belongs to the window.
#include <QKeyEvent>

#include "platform/internal.h"

namespace {
// The physical key of an event: its native scan code where the desktop gives
// one (a release keeps the scan code of its press even when the modifiers
// changed its Qt key), else its Qt key. Scan codes count negative so the
// two never meet.
int keyId(const QKeyEvent* e) {
    const quint32 scan = e->nativeScanCode();
    return scan ? -int(scan & 0x7fffffff) : e->key();
}
} // namespace

DeviceWidget::Host::DownKey* DeviceWidget::Host::findDown(int id) {
    for (int i = 0; i < downCount_; ++i)
        if (down_[i].id == id)
            return &down_[i];
    return nullptr;
}

void DeviceWidget::Host::sendKey(int qtKey, bool press) {
    const KeyEvent k{deviceKeyCode(qtKey)};
    if (press)
        device->keyPressEvent(k);
    else
        device->keyReleaseEvent(k);
}

void DeviceWidget::Host::sendHeldAlt() {
    if (!altHeld_)
        return;
    altHeld_ = false;
    for (int i = 0; i < downCount_; ++i)
        down_[i].sent |= down_[i].qtKey == Qt::Key_Alt;
    sendKey(Qt::Key_Alt, true);
}

// The desktop repeats a held key as a release and a press with the same
// timestamp, and does not always mark them as a repeat (X11 under load), so a
// release waits here for the next event: the press of the same key at the same
// time makes the two a repeat, and anything else (another key, the pen, a
// focus change, the next frame) hands the release on first. A key that is
// already down repeats too, so no press reaches the device twice.
//
// Alt+Enter belongs to the window, every other key to the device. A lone Alt
// press waits, unless the device wants it at once: a fresh Enter press next
// makes it part of the combination and the device sees neither key; any other
// key, or Alt's own release, hands it on first, so Alt still works as a key
// of its own (acting a moment later).
void DeviceWidget::Host::keyPressEvent(QKeyEvent* e) {
    hidePointer();
    const int id = keyId(e), key = e->key();
    if (releasePending_ && id == pendingId_ && e->timestamp() == pendingTime_)
        releasePending_ = false;  // an auto-repeat: the key stays down
    flushRelease();
    if (e->isAutoRepeat() || findDown(id) || downCount_ == MAX_DOWN_KEYS)
        return;
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    const bool altDown = (e->modifiers() & Qt::AltModifier) || [this] {
        for (int i = 0; i < downCount_; ++i)
            if (down_[i].qtKey == Qt::Key_Alt)
                return true;
        return false;
    }();
    if (enter && altDown) {
        altHeld_ = false;
        down_[downCount_++] = DownKey{id, key, false};
        toggleMonitorFullScreen();
        return;
    }
    if (key == Qt::Key_Alt) {
        down_[downCount_++] = DownKey{id, key, false};
        altHeld_ = true;
        if (device->wantsKeyAtOnce(deviceKeyCode(key)))
            sendHeldAlt();
        return;
    }
    sendHeldAlt();
    down_[downCount_++] = DownKey{id, key, true};
    sendKey(key, true);
}

void DeviceWidget::Host::keyReleaseEvent(QKeyEvent* e) {
    if (e->isAutoRepeat())
        return;  // Qt has paired it with the repeated press that follows
    flushRelease();
    releasePending_ = true;
    pendingId_ = keyId(e);
    pendingTime_ = e->timestamp();
}

// The released key leaves down_; a press the device saw gets its release,
// after an Alt press still waiting (Alt tapped alone, or before this key's
// release). Keys pressed before the window had the keyboard stay here.
void DeviceWidget::Host::flushRelease() {
    if (!releasePending_)
        return;
    releasePending_ = false;
    DownKey* k = findDown(pendingId_);
    if (!k)
        return;
    sendHeldAlt();
    const DownKey released = *k;
    *k = down_[--downCount_];
    if (released.sent)
        sendKey(released.qtKey, false);
}

bool DeviceWidget::Host::event(QEvent* e) {
    if (e->isPointerEvent() || e->type() == QEvent::Timer)
        flushRelease();
    const bool taken = QWidget::event(e);
    if (e->type() == QEvent::ScreenChangeInternal)  // another monitor, maybe another ratio
        followRatio();
    return taken;
}
