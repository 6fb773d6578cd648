// Modal message boxes, or a line on standard error where nobody could click one.
#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>
#include <string>

#include "platform/internal.h"
#include "platform/testdriver.h"

namespace {

testdriver::MessageBoxHook messageBoxHook = nullptr;

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
