// The per-user folders of the game under the XDG base folders.
#include "platform/paths.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t PASSWORD_BUFFER_LIMIT = size_t(1) << 20;  // bytes

// The home folder from the password database, for a session that set neither
// HOME nor the XDG variable; empty when the user has no entry or no home there.
std::string passwordHome() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(size_t(size > 0 ? size : 16384));
    struct passwd entry, *found = nullptr;
    while (getpwuid_r(geteuid(), &entry, buf.data(), buf.size(), &found) == ERANGE &&
           buf.size() < PASSWORD_BUFFER_LIMIT)
        buf.resize(buf.size() * 2);
    return found && found->pw_dir && found->pw_dir[0] == '/' ? std::string(found->pw_dir)
                                                              : std::string();
}

// The game's folder under an XDG base folder: $VAR when set and not empty,
// else HOME (or the password database's home) followed by fallback.
std::string xdgFolder(const char* var, const char* fallback) {
    const char* xdg = std::getenv(var);
    std::string base;
    if (xdg && *xdg) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = home && *home ? std::string(home) : passwordHome();
        if (base.empty()) return base;
        base += fallback;
    }
    if (base.back() != '/') base += '/';
    return base + "corvusraiders/";
}

} // namespace

std::string settingsDirectory() {
    return xdgFolder("XDG_CONFIG_HOME", "/.config");
}

std::string stateDirectory() {
    return xdgFolder("XDG_STATE_HOME", "/.local/state");
}
