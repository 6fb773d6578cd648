// Error boxes and the one way the game ends itself.
#include <cstdio>
#include <cstdlib>

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

void exitGame(GameWidget* widget) {
    // Nothing is saved or freed: the process takes its memory with it.
    if (widget)
        widget->showNormal();
    std::exit(0);
}
