// Per-user settings files with groups and integer entries.
//
// A Config names a file "NAME.conf" in the user's settings folder,
// $XDG_CONFIG_HOME/corvusraiders/ (or ~/.config/corvusraiders/ when the
// variable is unset or empty, the home folder being $HOME or else the user's
// entry in the password database; with neither, User-domain files are neither
// read nor written, which is said once on standard error). The text layout is
// "[group]" lines followed by "key = value" lines. Lines the class does not
// understand are kept, and so are byte-order marks at the start of the file and
// each line's own end ("\n" or "\r\n").
//
// The file is read once by the constructor and written only by the destructor,
// and only when an entry changed; the write goes to a temporary file beside the
// real file (beside the target when the name is a symbolic link) that is
// renamed over it, so the file on disk is always whole and keeps its
// permissions. A save that fails (a folder that cannot be created or written,
// a full disk, a text grown past the size the reader accepts) keeps the old
// file, leaves no temporary file and is reported once on standard error with
// the file and the reason; the settings then live in memory only. A file that
// exists but cannot be read (no permission, an I/O error, not a regular file,
// larger than any settings file could be) is reported once on standard error
// and is never written for the rest of the run. Temporary files left by saves
// of this file that were killed half-way are removed when the file is next
// opened.
#pragma once

#include <cstdint>
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
    // False when the file exists but could not be read: nothing is written.
    bool readable() const { return readable_; }

    // The settings folder in use (with a trailing slash).
    static std::string userDirectory();

  private:
    enum Kind : uint8_t { OTHER, HEADER, ENTRY };
    struct Line {
        std::string text;  // the line as read, or as formatted for new entries
        std::string key;   // entries only
        std::string value; // entries only
        uint32_t group;    // index into groups_ of the group the line belongs to
        Kind kind;
        bool crlf;         // the line ended with "\r\n"
    };
    bool inGroup(const Line& line) const { return groups_[line.group] == group_; }
    void parse(const std::string& data);

    std::string path_;
    std::string group_;
    // "" (lines before the first header), then one name per header line, so
    // memory grows with the file, not with lines times name length.
    std::vector<std::string> groups_{std::string()};
    std::vector<Line> lines_;
    bool changed_ = false;
    bool readable_ = true;
    bool crlf_ = false; // the file's first line ended with "\r\n": so do new lines
};

// ---------------------------------------------------------------------------
// Whole files, as the settings files are read and written; the saved replays
// use them too.
// ---------------------------------------------------------------------------
// Reads the whole file at `path` into `data`, without blocking on a pipe put
// in its place. Absent: no file (or no folder); Unreadable: something is there
// that cannot be read, not a regular file, or more than `limit` bytes, with
// the reason in `why`.
enum class ReadResult { Read, Absent, Unreadable };
ReadResult readWhole(const std::string& path, std::string& data, const char*& why, size_t limit);

// Replaces the file at `path` (the target of a symbolic link) with `size`
// bytes, whole or not at all: a temporary file beside it is written, flushed
// and renamed over it; missing folders are created. False when nothing was
// written, with errno telling why.
bool writeWhole(const std::string& path, const void* bytes, size_t size);

// The per-user folder for what the game keeps between runs that is not a
// setting (the saved replays): $XDG_STATE_HOME/corvusraiders/, or
// ~/.local/state/corvusraiders/ when the variable is unset or empty (the home
// folder as for the settings). Empty when there is no home: nothing is saved.
std::string stateDirectory();
