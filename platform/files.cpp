// Whole-file reading and atomic writing, the temporaries of killed saves, and
// the lock between copies of the game.
#include "platform/files.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t FOLDER_MODE = 0700;         // the folders hold private files
constexpr mode_t NEW_FILE_MODE = 0600;       // a file that did not exist before
constexpr int MAX_LINK_HOPS = 40;            // the kernel's own limit for a path
constexpr const char* TEMP_SUFFIX = ".tmp-"; // followed by a random hexadecimal name
constexpr int TEMP_NAME_DIGITS = 16;         // 64 random bits
constexpr int TEMP_NAME_TRIES = 8;           // names tried before a save gives up
constexpr time_t STALE_AFTER_S = 60;         // an untouched temporary this old is left over
constexpr int LOCK_POLL_MS = 10;

// Creates `dir` and its missing parents; true when it exists afterwards.
bool makeDirectories(const std::string& dir) {
    std::string partial;
    for (size_t i = 0; i < dir.size(); ++i) {
        partial += dir[i];
        if ((dir[i] == '/' && i > 0) || i + 1 == dir.size()) {
            if (mkdir(partial.c_str(), FOLDER_MODE) != 0 && errno != EEXIST) return false;
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

// 64 bits no other process will pick: the kernel's random numbers, or, where
// they cannot be had, the time, the process and a count mixed together.
uint64_t randomName() {
    uint64_t v = 0;
    if (getrandom(&v, sizeof v, GRND_NONBLOCK) == ssize_t(sizeof v)) return v;
    static uint64_t count = 0;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    v = uint64_t(now.tv_sec) * 1000000007ull ^ uint64_t(now.tv_nsec) ^ uint64_t(getpid()) << 40 ^
        ++count * 0x9E3779B97F4A7C15ull;
    return v;
}

// A new temporary beside `target`, open for writing and locked against the
// cleaners of other processes; -1 with errno when none could be made.
int openTemporary(const std::string& target, std::string& name) {
    for (int attempt = 0; attempt < TEMP_NAME_TRIES; ++attempt) {
        char digits[TEMP_NAME_DIGITS + 1];
        std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(randomName()));
        name = target + TEMP_SUFFIX + digits;
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                        NEW_FILE_MODE);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return -1;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
        // A cleaner has it already: leave the name to it and take another.
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

// A name of the form "<file>.tmp-<hexadecimal digits>".
bool isTemporaryName(const char* name, const std::string& prefix) {
    if (std::strncmp(name, prefix.c_str(), prefix.size()) != 0) return false;
    const char* digits = name + prefix.size();
    const size_t count = std::strspn(digits, "0123456789abcdef");
    return count > 0 && count <= TEMP_NAME_DIGITS && digits[count] == '\0';
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

// Each writer keeps its temporary locked from the moment it exists until it
// has been renamed or removed, so a temporary that can be locked here has no
// writer any more. The age rule covers the instant between a writer creating
// its temporary and locking it.
void removeStaleTemporaries(const std::string& target, bool holdingFileLock) {
    const std::string dir = directoryOf(target);
    const std::string prefix = target.substr(dir.size()) + TEMP_SUFFIX;
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    const time_t now = std::time(nullptr);
    while (dirent* e = readdir(d)) {
        if (!isTemporaryName(e->d_name, prefix)) continue;
        const std::string path = dir + e->d_name;
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) continue;
        struct stat st;
        const bool old = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                         (holdingFileLock || st.st_mtime + STALE_AFTER_S < now);
        if (old && flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(path.c_str());
        ::close(fd);
    }
    closedir(d);
}

bool writeWhole(const std::string& path, const void* bytes, size_t size) {
    const std::string target = linkTarget(path);
    const std::string dir = directoryOf(target);
    if (target == path) {
        if (!makeDirectories(dir)) return false;
    } else {
        // Creating the folder a link points into would fill whatever lies
        // there now, such as the empty mount point of a drive not mounted.
        struct stat st;
        if (stat(dir.c_str(), &st) != 0) return false;
        if (!S_ISDIR(st.st_mode)) {
            errno = ENOTDIR;
            return false;
        }
    }
    removeStaleTemporaries(target, false);

    // The new file takes over the old one's permissions (and owner, where
    // the process may give it away).
    struct stat old;
    const bool existed = stat(target.c_str(), &old) == 0;
    std::string temp;
    int fd = openTemporary(target, temp);
    if (fd < 0) return false;
    bool ok = fchmod(fd, existed ? old.st_mode & 07777 : NEW_FILE_MODE) == 0;
    if (existed && (old.st_uid != geteuid() || old.st_gid != getegid()))
        (void)!fchown(fd, old.st_uid, old.st_gid);
    ok = ok && writeAll(fd, static_cast<const char*>(bytes), size) && ::fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (ok && std::rename(temp.c_str(), target.c_str()) != 0) ok = false, error = errno;
    if (!ok) ::unlink(temp.c_str());
    // Closing lets go of the temporary's lock once it has its final name (or
    // none); the bytes are on the disk already.
    ::close(fd);
    if (!ok) {
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

FileLock::FileLock(const std::string& path) {
    if (!makeDirectories(directoryOf(path))) return;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, NEW_FILE_MODE);
    if (fd < 0) return;
    for (int waited = 0;; waited += LOCK_POLL_MS) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            fd_ = fd;
            return;
        }
        if ((errno != EWOULDBLOCK && errno != EINTR) || waited >= LOCK_PATIENCE_MS) break;
        usleep(LOCK_POLL_MS * 1000);
    }
    static bool told = false;
    if (!told)
        std::fprintf(stderr, "corvusraiders: %s stays locked by another copy of the game; "
                             "saving without waiting for it\n", path.c_str());
    told = true;
    ::close(fd);
}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(fd_);
}
