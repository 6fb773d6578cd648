// Helpers shared by the fuzz targets: their scratch folder, input files and
// the platform application the picture decoders need.
#include "fuzz/target.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform.h"

void writeInput(const std::string& path, const void* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    const bool written = f && (size == 0 || std::fwrite(data, 1, size, f) == size);
    if (!written || std::fclose(f) != 0) std::abort();
}

std::string scratchFolder() {
    static std::string dir;
    if (dir.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/corvus-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        dir = pattern + "/";
    }
    return dir;
}

void startPlatform() {
    static PlatformApplication* application = nullptr; // kept to the end of the process
    if (application) return;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "corvus_fuzz";
    static char* argv[] = {name, nullptr};
    application = new PlatformApplication(argc, argv);
}
