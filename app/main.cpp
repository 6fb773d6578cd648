// Process entry point of the game executable.
#include "app/app.h"

int main(int argc, char** argv) {
    return corvusMain(argc, argv);
}
