// Builds the application icon of every size a desktop theme asks for, as
// <theme folder>/<N>x<N>/apps/<name>.png.
//
// usage: corvus_genicons <theme folder> <icon name>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/image_save.h"
#include "tools/pictures/pictures.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <theme folder> <icon name>\n", argv[0]);
        return 2;
    }
    constexpr int SIZES[] = {16, 32, 48, 64, 128, 256};   // pixels
    for (int size : SIZES) {
        const std::string dir = std::string(argv[1]) + "/" + std::to_string(size) + "x" +
                                std::to_string(size) + "/apps";
        std::error_code ignored;
        std::filesystem::create_directories(dir, ignored);
        const std::string path = dir + "/" + argv[2] + ".png";
        const art::Image icon = art::appIcon(size);
        if (!savePng(path.c_str(), icon.w, icon.h, icon.px.data())) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
