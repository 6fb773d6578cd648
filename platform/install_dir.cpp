// The installation directory the game's data is found under.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "platform/internal.h"

// "/opt/x/bin/game" gives "/opt/x/". A QPEDIR too long for any path is cut.
const char* qpeDir() {
    static char dir[PATH_MAX + 2];
    size_t n = 0;
    const char* env = std::getenv("QPEDIR");
    if (env && *env) {
        n = std::min(std::strlen(env), sizeof dir - 2);
        std::memcpy(dir, env, n);
    } else {
        const ssize_t len = readlink("/proc/self/exe", dir, sizeof dir - 2);
        if (len > 0) {
            // Index of the last slash before `end`, or -1.
            auto lastSlash = [](const char* p, ptrdiff_t end) {
                while (end > 0 && p[end - 1] != '/')
                    --end;
                return end - 1;
            };
            // Drop the file name, then the folder holding it (its bin/).
            const ptrdiff_t file = lastSlash(dir, len);
            const ptrdiff_t up = lastSlash(dir, file < 0 ? 0 : file);
            if (up < 0)
                dir[0] = '.';           // no folder above: the current one
            n = up <= 0 ? 1 : size_t(up); // up == 0: the root folder
        } else {
            std::memcpy(dir, "..", 2);
            n = 2;
        }
    }
    if (dir[n - 1] != '/')
        dir[n++] = '/';
    dir[n] = '\0';
    return dir;
}
