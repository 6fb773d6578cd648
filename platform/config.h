// Per-user settings files with groups and integer entries.
//
// A Config names a file "NAME.conf" in the user's settings folder,
// $XDG_CONFIG_HOME/corvusraiders/ (or ~/.config/corvusraiders/ when the
// variable is unset or empty). The text layout is "[group]" lines followed by
// "key = value" lines. Lines the class does not understand are kept.
//
// The file is read once by the constructor and written only by the destructor,
// and only when an entry changed; the write goes to a temporary file that is
// renamed over the old one, so the file on disk is always whole. A folder that
// cannot be created or written is not an error: the settings then live in
// memory only.
#pragma once

#include <string>
#include <vector>

class Config {
public:
    enum Domain { File = 0, User = 1 };

    Config(const char* name, Domain domain);
    ~Config();
    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;

    void setGroup(const char* group);
    // The entry of the current group as an integer; `def` when it is missing
    // or does not hold a number.
    int readNumEntry(const char* key, int def) const;
    void writeEntry(const char* key, int value);

    const std::string& path() const { return path_; }

    // The settings folder in use (with a trailing slash).
    static std::string userDirectory();

private:
    struct Line {
        std::string text;   // the line as read, or as formatted for new entries
        std::string group;  // group the line belongs to ("" before the first)
        std::string key;    // empty for group lines, comments and unknown lines
        std::string value;
    };
    std::string path_;
    std::string group_;
    std::vector<Line> lines_;
    bool changed_ = false;
};
