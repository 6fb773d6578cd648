// Modal message boxes centred over the game window, or a line on standard
// error where nobody could click one.
#include <QEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <string>

#include "platform/host.h"
#include "platform/internal.h"
#include "platform/testdriver.h"

namespace {

testdriver::MessageBoxHook messageBoxHook = nullptr;
void (*messageBoxProbe)(QWidget*) = nullptr;

// A box that stands centred over its parent window: placed so when it is
// shown, and again whenever the parent moves or changes size while it is
// open. A window manager places a new window some time after it is shown, and
// the start-up boxes come up right then, while the window's position is still
// the one it asked for; Qt's own placement would keep that stale position
// (and adds a guessed frame to it).
class CentredBox : public QMessageBox {
public:
    CentredBox(Icon icon, const QString& title, const QString& text, QWidget* over)
        : QMessageBox(icon, title, text, QMessageBox::Ok, over) {
        if (over)
            over->installEventFilter(this);
    }

protected:
    void showEvent(QShowEvent* e) override {
        QMessageBox::showEvent(e);  // sizes the box for its text, then lets Qt place it
        centre();
    }
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == parentWidget() && isVisible() &&
            (e->type() == QEvent::Move || e->type() == QEvent::Resize))
            centre();
        return QMessageBox::eventFilter(watched, e);
    }

private:
    // The box's frame centred on the parent window's centre (screen pixels).
    void centre() {
        const QWidget* over = parentWidget();
        if (!over)
            return;  // no window to stand over: Qt centres the box on the screen
        const QSize frame = frameGeometry().size();
        move(over->geometry().center() - QPoint(frame.width() / 2, frame.height() / 2));
    }
};

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
    if (headlessPlatform() && !messageBoxProbe) {
        // Nobody could click the box: it is reported and dismissed at once.
        std::fprintf(stderr, "%s: %s\n", title ? title : "", plainText(text).c_str());
        std::fflush(stderr);
        return;
    }
    CentredBox box(critical ? QMessageBox::Critical : QMessageBox::Warning,
                   QString::fromLatin1(title ? title : ""), QString::fromLatin1(text ? text : ""),
                   parent ? parent->host() : nullptr);
    if (messageBoxProbe)
        QTimer::singleShot(0, &box, [&box] {
            messageBoxProbe(&box);
            box.done(QMessageBox::Ok);
        });
    box.exec();
}

} // namespace

void messageBoxCritical(DeviceWidget* parent, const char* title, const char* text) {
    messageBox(true, parent, title, text);
}

void messageBoxWarning(DeviceWidget* parent, const char* title, const char* text) {
    messageBox(false, parent, title, text);
}

void testdriver::setMessageBoxHook(MessageBoxHook hook) {
    messageBoxHook = hook;
}

void setMessageBoxProbe(void (*probe)(QWidget* box)) {
    messageBoxProbe = probe;
}
