// Whole files as the game keeps them: read at once without blocking, written
// whole or not at all, and a lock that makes one copy's read-change-write of
// a file a single step for every other copy of the game. The settings files
// and the saved replays both go through here.
//
// Callers: platform/config.cpp (the settings files) and the replay files of
// app/. Everything here runs on the calling thread and may block only on the
// disk, and on a lock for at most LOCK_PATIENCE_MS.
#pragma once

#include <cstddef>
#include <string>

// Reads the whole file at `path` into `data`, without blocking on a pipe put
// in its place. Absent: no file (or no folder); Unreadable: something is there
// that cannot be read, not a regular file, or more than `limit` bytes, with
// the reason in `why`.
enum class ReadResult { Read, Absent, Unreadable };
ReadResult readWhole(const std::string& path, std::string& data, const char*& why, size_t limit);

// Replaces the file at `path` (the target, when it is a symbolic link) with
// `size` bytes, whole or not at all: a temporary file of a name no other
// writer can pick, beside the target, is written, flushed to the disk and
// renamed over it. A missing folder of the file is created, but never at the
// far end of a link: a link whose target's folder is missing is a failed save.
// False when nothing was written, with errno telling why.
bool writeWhole(const std::string& path, const void* bytes, size_t size);

// Removes the temporary files that saves of `target` left behind when they
// were killed half-way. A temporary is gone for good only when no process has
// it open for writing (each writer holds a lock on its temporary while it
// lives) and, unless the caller holds the file's own FileLock and so knows no
// save of it is under way, it has not been touched for a minute.
void removeStaleTemporaries(const std::string& target, bool holdingFileLock);

// The file a chain of symbolic links ends at (which need not exist yet).
std::string linkTarget(std::string path);

// An advisory lock on the lock file at `path` (created, with its folder,
// when missing; never removed), held while the object lives. Other copies of
// the game wait for it; a copy that cannot get it within LOCK_PATIENCE_MS (a
// copy stopped in the middle of a save) goes on without it, and says so once.
constexpr int LOCK_PATIENCE_MS = 10000;
class FileLock {
  public:
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};
