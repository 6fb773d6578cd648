// Config: per-user settings files of "[group]" and "key = value" lines with
// integer entries, read once and rewritten atomically when something changed.
#include "platform/config.h"

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t SETTINGS_DIR_MODE = 0700;   // the folder holds private settings
constexpr mode_t NEW_FILE_MODE = 0600;       // a file that did not exist before
constexpr size_t MAX_FILE_BYTES = 4 << 20;   // no settings file of this game comes near
constexpr int MAX_LINK_HOPS = 40;            // the kernel's own limit for a path
constexpr const char* TEMP_SUFFIX = ".tmp-"; // followed by the writer's process id
constexpr const char* BYTE_ORDER_MARK = "\xEF\xBB\xBF";

// Paths found unreadable in this run: reported once and never written.
std::vector<std::string>& unreadablePaths() {
    static std::vector<std::string> paths;
    return paths;
}

// Paths whose save failed in this run: each is reported once.
std::vector<std::string>& unwritablePaths() {
    static std::vector<std::string> paths;
    return paths;
}

void reportUnwritable(const std::string& path, const char* why) {
    std::vector<std::string>& reported = unwritablePaths();
    for (const std::string& p : reported)
        if (p == path) return;
    reported.push_back(path);
    std::fprintf(stderr,
                 "corvusraiders: cannot write the settings file %s (%s); the changes of this "
                 "run are not saved\n",
                 path.c_str(), why);
}

// The home folder from the password database, for a session that set neither
// HOME nor XDG_CONFIG_HOME; empty when the user has no entry or no home there.
std::string passwordHome() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(size_t(size > 0 ? size : 16384));
    struct passwd entry, *found = nullptr;
    while (getpwuid_r(geteuid(), &entry, buf.data(), buf.size(), &found) == ERANGE &&
           buf.size() < (size_t(1) << 20))
        buf.resize(buf.size() * 2);
    return found && found->pw_dir && found->pw_dir[0] == '/' ? std::string(found->pw_dir)
                                                              : std::string();
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

// A whole decimal number in int range, with an optional sign; surrounding
// blanks have already been trimmed. Anything else ("12abc", "0x10", "1.5", an
// empty value, a number beyond int range) is not a number.
bool parseInt(const std::string& text, int* out) {
    if (text.empty()) return false;
    const char* begin = text.c_str();
    if (isBlank(*begin)) return false; // strtol would skip it; the value is trimmed already
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(begin, &end, 10);
    if (end == begin || *end != '\0' || errno == ERANGE) return false;
    if (v < INT_MIN || v > INT_MAX) return false;
    *out = int(v);
    return true;
}

// Creates `dir` and its missing parents; true when it exists afterwards.
bool makeDirectories(const std::string& dir) {
    std::string partial;
    for (size_t i = 0; i < dir.size(); ++i) {
        partial += dir[i];
        if ((dir[i] == '/' && i > 0) || i + 1 == dir.size()) {
            if (mkdir(partial.c_str(), SETTINGS_DIR_MODE) != 0 && errno != EEXIST) return false;
        }
    }
    struct stat st;
    if (stat(dir.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) errno = ENOTDIR;
    return S_ISDIR(st.st_mode);
}

bool writeAll(int fd, const char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

std::string directoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// The file a chain of symbolic links ends at (which need not exist yet), so
// that a save replaces the target and leaves the links in place.
std::string linkTarget(std::string path) {
    for (int hop = 0; hop < MAX_LINK_HOPS; ++hop) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        char buf[PATH_MAX];
        ssize_t n = readlink(path.c_str(), buf, sizeof buf - 1);
        if (n <= 0) return path;
        std::string next(buf, size_t(n));
        path = next[0] == '/' ? next : directoryOf(path) + next;
    }
    return path;
}

} // namespace

ReadResult readWhole(const std::string& path, std::string& data, const char*& why, size_t limit) {
    // Non-blocking, so a pipe put in place of the file cannot stall the game.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return ReadResult::Absent;
        why = std::strerror(errno);
        return ReadResult::Unreadable;
    }
    struct stat st;
    ReadResult result = ReadResult::Read;
    if (fstat(fd, &st) != 0) {
        why = std::strerror(errno);
        result = ReadResult::Unreadable;
    } else if (!S_ISREG(st.st_mode)) {
        why = "not a regular file";
        result = ReadResult::Unreadable;
    } else if (size_t(st.st_size) > limit) {
        why = "too large";
        result = ReadResult::Unreadable;
    }
    char buf[8192];
    while (result == ReadResult::Read) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || data.size() + size_t(n) > limit) {
            why = n < 0 ? std::strerror(errno) : "too large";
            result = ReadResult::Unreadable;
            break;
        }
        data.append(buf, size_t(n));
    }
    ::close(fd);
    return result;
}

namespace {

// Removes "<file>.tmp-<pid>" files beside `file` whose writer is gone: a save
// of this process is never under way while a Config is opened, and a live
// process keeps its file. Anything that is not a plain file is left alone.
void removeStaleTemporaries(const std::string& file) {
    const std::string dir = directoryOf(file);
    const std::string prefix = file.substr(dir.size()) + TEMP_SUFFIX;
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = readdir(d)) {
        const char* name = e->d_name;
        if (std::strncmp(name, prefix.c_str(), prefix.size()) != 0) continue;
        const char* digits = name + prefix.size();
        size_t count = std::strspn(digits, "0123456789");
        if (count == 0 || count > 9 || digits[count] != '\0') continue;
        const long pid = std::strtol(digits, nullptr, 10);
        if (pid <= 0) continue;
        const bool gone = pid == long(getpid()) || (kill(pid_t(pid), 0) != 0 && errno == ESRCH);
        struct stat st;
        const std::string path = dir + name;
        if (gone && lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path.c_str());
    }
    closedir(d);
}

// The game's folder under an XDG base folder: $VAR when set and not empty,
// else HOME (or the password database's home) followed by fallback. Empty
// when there is no home at all: nothing is kept between runs then.
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

std::string stateDirectory() {
    return xdgFolder("XDG_STATE_HOME", "/.local/state");
}

std::string Config::userDirectory() {
    return xdgFolder("XDG_CONFIG_HOME", "/.config");
}

// A File-domain name is a path of its own (".conf" is still appended); a
// User-domain name lives in the user's settings folder. Without a settings
// folder a User-domain file is neither read nor written, and that is said once.
Config::Config(const char* name, Domain domain) {
    if (domain == User) {
        const std::string dir = userDirectory();
        if (dir.empty()) {
            static bool told = false;
            if (!told)
                std::fprintf(stderr, "corvusraiders: no home folder (HOME and XDG_CONFIG_HOME "
                                     "are unset and the user has none); settings are not "
                                     "saved in this run\n");
            told = true;
            readable_ = false;
            return;
        }
        path_ = dir;
    }
    path_ += std::string(name) + ".conf";

    std::vector<std::string>& refused = unreadablePaths();
    for (const std::string& p : refused)
        if (p == path_) readable_ = false;
    if (!readable_) return;

    std::string data;
    const char* why = "";
    switch (readWhole(path_, data, why, MAX_FILE_BYTES)) {
    case ReadResult::Unreadable:
        readable_ = false;
        refused.push_back(path_);
        std::fprintf(stderr,
                     "corvusraiders: cannot read the settings file %s (%s); using the defaults, "
                     "and the file is left as it is\n",
                     path_.c_str(), why);
        return;
    case ReadResult::Read:
        parse(data);
        break;
    case ReadResult::Absent:
        break;
    }
    removeStaleTemporaries(linkTarget(path_));
}

// Lines end at "\n"; a "\r" before it is kept as the line's own end, and new
// lines take the end of the file's first line. Byte-order marks at the start
// of the file are kept in the first line's text but ignored when the line is
// understood.
void Config::parse(const std::string& data) {
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find('\n', start);
        if (end == std::string::npos) end = data.size();
        Line line{data.substr(start, end - start), "", "", uint32_t(groups_.size() - 1), OTHER,
                  false};
        start = end + 1;
        if (!line.text.empty() && line.text.back() == '\r') {
            line.text.pop_back();
            line.crlf = true;
        }
        if (lines_.empty()) crlf_ = line.crlf;

        size_t skip = 0;
        if (lines_.empty())
            while (line.text.compare(skip, 3, BYTE_ORDER_MARK) == 0)
                skip += 3;
        std::string t = trim(line.text.substr(skip));
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
            groups_.push_back(trim(t.substr(1, t.size() - 2)));
            line.group = uint32_t(groups_.size() - 1);
            line.kind = HEADER;
        } else {
            size_t eq = t.find('=');
            if (eq != std::string::npos && t[0] != '#' && t[0] != ';') {
                line.key = trim(t.substr(0, eq));
                if (!line.key.empty()) {
                    line.value = trim(t.substr(eq + 1));
                    line.kind = ENTRY;
                }
            }
        }
        lines_.push_back(std::move(line));
    }
}

// Written only when an entry changed: the new text goes to a temporary file in
// the target's folder, is flushed to the disk and then renamed over the
// target, so the file on disk is always either the old or the new one. Any
// failure (and a text the reader would refuse as too large) leaves the old
// file as it was and the settings in memory only; it is reported once.
Config::~Config() {
    if (!changed_ || !readable_) return;
    std::string data;
    for (const Line& line : lines_) {
        data += line.text;
        data += line.crlf ? "\r\n" : "\n";
    }
    const std::string target = linkTarget(path_);
    if (data.size() > size_t(MAX_FILE_BYTES)) {
        reportUnwritable(target, "too large for a settings file");
        return;
    }
    if (!writeWhole(path_, data.data(), data.size()))
        reportUnwritable(target, std::strerror(errno));
}

bool writeWhole(const std::string& path, const void* bytes, size_t size) {
    const std::string target = linkTarget(path);
    const std::string dir = directoryOf(target);
    if (!makeDirectories(dir)) return false;

    // The new file takes over the old one's permissions (and owner, where
    // the process may give it away).
    struct stat old;
    const bool existed = stat(target.c_str(), &old) == 0;
    std::string temp = target + TEMP_SUFFIX + std::to_string(long(getpid()));
    int fd =
        ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, NEW_FILE_MODE);
    if (fd < 0) return false;
    bool ok = fchmod(fd, existed ? old.st_mode & 07777 : NEW_FILE_MODE) == 0;
    if (existed && (old.st_uid != geteuid() || old.st_gid != getegid()))
        (void)!fchown(fd, old.st_uid, old.st_gid);
    ok = ok && writeAll(fd, static_cast<const char*>(bytes), size) && ::fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) ok = false, error = errno;
    if (ok && std::rename(temp.c_str(), target.c_str()) != 0) ok = false, error = errno;
    if (!ok) {
        ::unlink(temp.c_str());
        errno = error;
        return false;
    }
    // Make the rename itself durable.
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

void Config::setGroup(const char* group) {
    group_ = group;
}

// When a key appears more than once in a group, the first one counts, for
// reading and for writing alike.
int Config::readNumEntry(const char* key, int def) const {
    for (const Line& line : lines_) {
        if (line.kind == ENTRY && line.key == key && inGroup(line)) {
            int v;
            return parseInt(line.value, &v) ? v : def;
        }
    }
    return def;
}

void Config::writeEntry(const char* key, int value) {
    std::string v = std::to_string(value);
    std::string text = std::string(key) + " = " + v;
    for (Line& line : lines_) {
        if (line.kind == ENTRY && line.key == key && inGroup(line)) {
            if (line.value == v) return; // unchanged: the file is not rewritten
            line.value = v;
            line.text = text;
            changed_ = true;
            return;
        }
    }

    // A new key goes after the last entry (or the header) of its group; a
    // missing group is started at the end of the file. Entries outside any
    // group belong before the first header.
    size_t lastOfGroup = 0;
    bool any = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind != OTHER && inGroup(lines_[i])) {
            lastOfGroup = i;
            any = true;
        }
    }
    uint32_t group = 0;
    size_t insertAt = 0;
    if (any) {
        group = lines_[lastOfGroup].group;
        insertAt = lastOfGroup + 1;
    } else if (!group_.empty()) {
        if (!lines_.empty() && !trim(lines_.back().text).empty())
            lines_.push_back(Line{"", "", "", lines_.back().group, OTHER, crlf_});
        groups_.push_back(group_);
        group = uint32_t(groups_.size() - 1);
        lines_.push_back(Line{"[" + group_ + "]", "", "", group, HEADER, crlf_});
        insertAt = lines_.size();
    }
    // Byte-order marks belong at the very start of the file: a line put in
    // front of them takes them over.
    std::string marks;
    if (insertAt == 0 && !lines_.empty())
        while (lines_[0].text.compare(marks.size(), 3, BYTE_ORDER_MARK) == 0)
            marks += BYTE_ORDER_MARK;
    if (!marks.empty()) lines_[0].text.erase(0, marks.size());
    lines_.insert(lines_.begin() + std::ptrdiff_t(insertAt),
                  Line{marks + text, key, v, group, ENTRY, crlf_});
    changed_ = true;
}
