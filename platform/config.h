// Per-user settings files with groups and integer entries.
//
// A Config names a file "NAME.conf" in the user's settings folder
// (settingsDirectory(); with no home at all, User-domain files are neither
// read nor written, which is said once on standard error). The text layout is
// "[group]" lines followed by "key = value" lines. Lines the class does not
// understand are kept, and so are byte-order marks at the start of the file and
// each line's own end ("\n" or "\r\n").
//
// The file is read once by the constructor and written only by the destructor,
// and only when an entry changed, through writeWhole (files.h): the file on
// disk is always whole and keeps its permissions and links. A Config opened
// for Update holds the file's lock ("NAME.conf.lock" beside it) from before
// the read until after the write, so that copies of the game that change the
// same file one after another each see what the one before wrote. A save that
// fails (a folder that cannot be created or written, a full disk, a text grown
// past the size the reader accepts, a link into a folder that is missing)
// keeps the old file, leaves no temporary file and is reported once on
// standard error with the file and the reason; the settings then live in
// memory only. A file that exists but cannot be read (no permission, an I/O
// error, not a regular file, larger than any settings file could be) is
// reported once on standard error and is never written for the rest of the
// run. An update removes what saves killed half-way left beside the file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"

class Config {
  public:
    enum Domain { File = 0, User = 1 };
    enum Access { Read, Update };  // Update: the file's lock is held while the object lives

    Config(const char* name, Domain domain, Access access = Read);
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

    // The settings folder in use (with a trailing slash; see paths.h).
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
    std::optional<FileLock> lock_;  // Update only
    // "" (lines before the first header), then one name per header line, so
    // memory grows with the file, not with lines times name length.
    std::vector<std::string> groups_{std::string()};
    std::vector<Line> lines_;
    bool changed_ = false;
    bool readable_ = true;
    bool crlf_ = false; // the file's first line ended with "\r\n": so do new lines
};
