// Lock files on Linux: flock on a descriptor that stays open for the rest of the process, so the
// kernel lets go of the lock however the process ends, a crash included.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/linux_platform.h"

std::string LinuxPlatform::user_lock_dir() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/')
        return runtime;
    // A folder in /tmp that anyone could have made first counts only when it is this user's own
    // directory, closed to everyone else.
    const uid_t user = geteuid();
    const std::string dir = "/tmp/velmora-" + std::to_string(user);
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0)
        return {};
    if (!S_ISDIR(st.st_mode) || st.st_uid != user || (st.st_mode & 077) != 0) {
        errno = EPERM;
        return {};
    }
    return dir;
}

FileLock LinuxPlatform::lock_file(const std::string& path) {
    // No link is followed and no FIFO blocks the open. An existing file is opened without
    // O_CREAT: in a sticky folder such as /run/lock the kernel refuses O_CREAT on a file of
    // another user (protected_regular), and the copy started by that user made it.
    const int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    int fd = ::open(path.c_str(), flags);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, 0644);
        if (fd < 0 && errno == EEXIST)
            fd = ::open(path.c_str(), flags);
    }
    if (fd < 0)
        return FileLock::Failed;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return FileLock::Failed;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return error == EWOULDBLOCK ? FileLock::Busy : FileLock::Failed;
    }
    // The descriptor is never closed: the lock lasts as long as the process.
    return FileLock::Taken;
}
