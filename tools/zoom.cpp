// Enlarges a picture file for inspection: corvus_zoom <in> <out.png> <scale>
#include <cstdio>
#include <cstdlib>

#include "platform/image_save.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <in> <out.png> <scale>\n", argv[0]);
        return 2;
    }
    return saveZoomedPng(argv[1], argv[2], std::atoi(argv[3])) ? 0 : 1;
}
