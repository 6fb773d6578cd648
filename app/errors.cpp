// Error boxes and the one way the game ends itself.
#include <cstdio>

#include "app/app.h"

namespace {
const char* const FATAL_TITLE = "Fatal Error";

// The boxes keep their fixed texts, and one text can stand for several files;
// the file itself is named on standard error once the box has been dismissed.
void nameFile(const char* file) {
    if (!file) return;
    std::fprintf(stderr, "Could not read %s\n", file);
    std::fflush(stderr);
}
} // namespace

// After the box the program is asked to end; the caller stops its set-up.
void fatalError(const char* text, const char* file) {
    messageBoxCritical(theWidget, FATAL_TITLE, text);
    nameFile(file);
    exitGame(theWidget);
}

void GameWidget::fatalError(const char* text) {
    messageBoxCritical(this, FATAL_TITLE, text);
    exitGame(this);
}

void showErrorMessage(const char* text, const char* file) {
    GameWidget* w = GameWidget::instance;
    messageBoxCritical(w, w ? w->caption() : "", text);
    nameFile(file);
}

// The event loop ends (after the current frame, or at once when it has not
// started), and the program ends the way every end goes: the entry function
// runs the teardown (music and sound device closed, everything freed) and
// returns status 0.
void exitGame(GameWidget* widget) {
    if (widget)
        widget->showNormal();
    PlatformApplication::quit();
}
