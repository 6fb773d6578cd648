// Config: per-user settings files of "[group]" and "key = value" lines with
// integer entries, read once and rewritten atomically when something changed.
#include "platform/config.h"

#include "platform/paths.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t MAX_FILE_BYTES = 4 << 20;   // no settings file of this game comes near
constexpr const char* LOCK_SUFFIX = ".lock";
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

} // namespace

// A File-domain name is a path of its own (".conf" is still appended); a
// User-domain name lives in the user's settings folder. Without a settings
// folder a User-domain file is neither read nor written, and that is said once.
Config::Config(const char* name, Domain domain, Access access) {
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
    if (access == Update) lock_.emplace(path_ + LOCK_SUFFIX);

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
    if (lock_) removeStaleTemporaries(linkTarget(path_), lock_->held());
}

std::string Config::userDirectory() {
    return settingsDirectory();
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
