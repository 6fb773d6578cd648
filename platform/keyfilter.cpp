// The host window's keyboard: which host key events reach the device widget,
// and Alt+Enter, which belongs to the window.
#include <QKeyEvent>

#include "platform/internal.h"

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
