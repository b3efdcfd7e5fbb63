// SPDX-License-Identifier: GPL-2.0-or-later
// Lock files on Linux: flock on a descriptor that stays open for the rest of the process, so the
// kernel lets go of the lock however the process ends, a crash included.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/linux_platform.h"

namespace {

constexpr const char* kMachineLockDir = "/run/velmora";

// What another copy wrote into the lock file: its first line, at most 100 bytes.
std::string read_holder(int fd) {
    char text[101] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0)
        return {};
    return std::string(text, strcspn(text, "\n"));
}

void write_holder(int fd, const std::string& me) {
    const std::string line = me + "\n";
    if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, line.data(), line.size(), 0) < 0)
        return;  // the lock holds without its note
}

}  // namespace

std::string LinuxPlatform::machine_lock_dir(std::string& why) {
    // Only root makes the folder; /run itself is root's, so no one else can have made it first.
    if (::geteuid() == 0 && ::mkdir(kMachineLockDir, 0755) == 0)
        ::chmod(kMachineLockDir, 0755);  // whatever the umask took away
    struct stat st {};
    if (::lstat(kMachineLockDir, &st) != 0) {
        why = errno == ENOENT ? "it does not exist" : std::strerror(errno);
        return {};
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != 0 || (st.st_mode & 022) != 0) {
        why = "it is not a folder that only root can write";
        return {};
    }
    return kMachineLockDir;
}

FileLock LinuxPlatform::lock_file(const std::string& path, unsigned new_file_mode,
                                  const std::string& me, std::string& note) {
    // No link is followed and no FIFO blocks the open. An existing file is opened without
    // O_CREAT: in a sticky folder the kernel refuses O_CREAT on a file of another user
    // (protected_regular). A file this user may only read is still locked, unnoted.
    const int flags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    int fd = ::open(path.c_str(), flags | O_RDWR);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(path.c_str(), flags | O_RDWR | O_CREAT | O_EXCL, new_file_mode);
        if (fd < 0 && errno == EEXIST)
            fd = ::open(path.c_str(), flags | O_RDWR);
    }
    bool writable = fd >= 0;
    if (fd < 0 && errno == EACCES)
        fd = ::open(path.c_str(), flags | O_RDONLY);
    if (fd < 0) {
        note = errno == ELOOP ? "it is a symbolic link" : std::strerror(errno);
        return FileLock::Failed;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        note = S_ISDIR(st.st_mode) ? "it is a directory" : "it is not a regular file";
        ::close(fd);
        return FileLock::Failed;
    }
    // A second name would make the holder's note overwrite a file somewhere else, perhaps one
    // only the running user may write.
    if (st.st_nlink > 1) {
        note = "it is a hard link to another file";
        ::close(fd);
        return FileLock::Failed;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        note = error == EWOULDBLOCK ? read_holder(fd) : std::strerror(error);
        ::close(fd);
        return error == EWOULDBLOCK ? FileLock::Busy : FileLock::Failed;
    }
    if (writable)
        write_holder(fd, me);
    // The descriptor is never closed: the lock lasts as long as the process.
    return FileLock::Taken;
}
