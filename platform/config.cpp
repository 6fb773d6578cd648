// Config: per-user settings files of "[group]" and "key = value" lines with
// integer entries, read once and rewritten atomically when something changed.
#include "platform/config.h"

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t SETTINGS_DIR_MODE = 0700; // the folder holds private settings
constexpr mode_t SETTINGS_FILE_MODE = 0600;

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
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool writeAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

std::string directoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

} // namespace

std::string Config::userDirectory() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && *xdg) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : ".") + "/.config";
    }
    if (base.empty() || base.back() != '/') base += '/';
    return base + "corvusraiders/";
}

// A File-domain name is a path of its own (".conf" is still appended); a
// User-domain name lives in the user's settings folder.
Config::Config(const char* name, Domain domain) {
    path_ = (domain == User ? userDirectory() : std::string()) + name + ".conf";

    FILE* f = std::fopen(path_.c_str(), "r");
    if (!f) return;
    std::string group;
    std::string text;
    int ch;
    bool pending = false;
    auto finishLine = [&]() {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        // A byte-order mark left by some editors is not part of the first line.
        if (lines_.empty() && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
        Line line;
        line.text = text;
        std::string t = trim(text);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
            group = trim(t.substr(1, t.size() - 2));
            line.group = group;
        } else {
            line.group = group;
            size_t eq = t.find('=');
            if (eq != std::string::npos && t[0] != '#' && t[0] != ';') {
                line.key = trim(t.substr(0, eq));
                if (!line.key.empty()) line.value = trim(t.substr(eq + 1));
            }
        }
        lines_.push_back(line);
        text.clear();
        pending = false;
    };
    while ((ch = std::fgetc(f)) != EOF) {
        if (ch == '\n') {
            finishLine();
        } else {
            text += char(ch);
            pending = true;
        }
    }
    if (pending) finishLine();
    std::fclose(f);
}

// Written only when an entry changed: the new text goes to a temporary file in
// the same folder, is flushed to the disk and then renamed over the old file,
// so the file on disk is always either the old or the new one. Any failure
// leaves the old file as it was and the settings in memory only.
Config::~Config() {
    if (!changed_) return;
    std::string data;
    for (const Line& line : lines_) {
        data += line.text;
        data += '\n';
    }
    std::string dir = directoryOf(path_);
    if (!makeDirectories(dir)) return;

    std::string temp = path_ + ".tmp-" + std::to_string(long(getpid()));
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, SETTINGS_FILE_MODE);
    if (fd < 0) return;
    bool ok = writeAll(fd, data) && ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (!ok || std::rename(temp.c_str(), path_.c_str()) != 0) {
        ::unlink(temp.c_str());
        return;
    }
    // Make the rename itself durable.
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

void Config::setGroup(const char* group) {
    group_ = group;
}

// When a key appears more than once in a group, the first one counts, for
// reading and for writing alike.
int Config::readNumEntry(const char* key, int def) const {
    for (const Line& line : lines_) {
        if (!line.key.empty() && line.group == group_ && line.key == key) {
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
        if (!line.key.empty() && line.group == group_ && line.key == key) {
            if (line.value == v) return; // unchanged: the file is not rewritten
            line.value = v;
            line.text = text;
            changed_ = true;
            return;
        }
    }

    // A new key goes after the last entry (or the header) of its group; a
    // missing group is started at the end of the file.
    Line entry{text, group_, key, v};
    size_t insertAt = lines_.size();
    bool groupFound = group_.empty();
    size_t lastOfGroup = 0;
    bool any = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].group != group_) continue;
        std::string t = trim(lines_[i].text);
        bool header = t.size() >= 2 && t.front() == '[' && t.back() == ']';
        if (header) groupFound = true;
        if (header || !lines_[i].key.empty()) {
            lastOfGroup = i;
            any = true;
        }
    }
    if (group_.empty()) {
        // Entries outside any group belong before the first header.
        insertAt = any ? lastOfGroup + 1 : 0;
    } else if (groupFound && any) {
        insertAt = lastOfGroup + 1;
    } else {
        if (!lines_.empty() && !trim(lines_.back().text).empty())
            lines_.push_back(Line{"", lines_.back().group, "", ""});
        lines_.push_back(Line{"[" + group_ + "]", group_, "", ""});
        insertAt = lines_.size();
    }
    lines_.insert(lines_.begin() + std::ptrdiff_t(insertAt), entry);
    changed_ = true;
}
