// A controls file that talks to the mixer itself: the check refuses it.
#include <SDL_mixer.h>
#include <QWidget>
#include "ui/ui.h"
