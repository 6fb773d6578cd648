// Error boxes and the one way the game ends itself.
#include <cstdlib>

#include "app/app.h"

namespace {
const char* const FATAL_TITLE = "Fatal Error";
}

void fatalError(const char* text) {
    messageBoxCritical(theWidget, FATAL_TITLE, text);
    exitGame(theWidget);
}

void GameWidget::fatalError(const char* text) {
    messageBoxCritical(this, FATAL_TITLE, text);
    exitGame(this);
}

void showErrorMessage(const char* text) {
    GameWidget* w = GameWidget::instance;
    messageBoxCritical(w, w ? w->caption() : "", text);
}

void exitGame(GameWidget* widget) {
    // Nothing is saved or freed: the process takes its memory with it.
    if (widget)
        widget->showNormal();
    std::exit(0);
}
