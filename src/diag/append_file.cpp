// SPDX-License-Identifier: GPL-2.0-or-later
#include "diag/append_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

bool write_whole(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const auto n = ::write(fd, text.data() + done, static_cast<unsigned>(text.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

uint64_t file_size(int fd) {
#ifdef _WIN32
    struct _stat64 st {};
    return _fstat64(fd, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
#else
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
#endif
}

#ifdef _WIN32

// Windows has no links or owners to look after here. Text mode: each "\n" lands as CR LF.
AppendOpen open_for_append(const std::string& path, int& fd, std::string& why) {
    fd = _open(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_TEXT, _S_IREAD | _S_IWRITE);
    if (fd >= 0)
        return AppendOpen::Opened;
    why = std::string("not writable (") + std::strerror(errno) + ")";
    return errno == EISDIR || errno == EACCES ? AppendOpen::Refused : AppendOpen::CannotOpen;
}

bool rotate_when_large(const std::string& path, uint64_t limit) {
    struct _stat64 st {};
    if (_stat64(path.c_str(), &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG ||
        static_cast<uint64_t>(st.st_size) <= limit)
        return false;
    const std::string old = path + ".old";
    std::remove(old.c_str());
    return std::rename(path.c_str(), old.c_str()) == 0;
}

#else

namespace {

// The folder the file sits in, as a path to stat.
std::string folder_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Why a file found at the path is not one to append to; empty when it is.
std::string refusal(const std::string& path, const struct stat& st) {
    if (S_ISDIR(st.st_mode))
        return "a directory";
    if (S_ISFIFO(st.st_mode))
        return "a FIFO";
    if (!S_ISREG(st.st_mode))
        return "not a regular file";
    // A second name would be a hard link to a file somewhere else, perhaps one only the
    // running user may write.
    if (st.st_nlink > 1)
        return "a hard link to another file";
    if (st.st_uid == ::geteuid())
        return {};
    struct stat folder {};
    if (::stat(folder_of(path).c_str(), &folder) == 0 && st.st_uid == folder.st_uid)
        return {};
    return "a file of another user";
}

}  // namespace

AppendOpen open_for_append(const std::string& path, int& fd, std::string& why) {
    // O_NOFOLLOW: a link at the name is refused (ELOOP), never followed. O_NONBLOCK: a FIFO
    // without a reader fails at once (ENXIO) instead of holding the start.
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                0644);
    if (fd < 0) {
        const int error = errno;
        why = error == ELOOP ? "a symbolic link"
              : error == EISDIR ? "a directory"
              : error == ENXIO ? "a FIFO"
                               : std::string("not writable (") + std::strerror(error) + ")";
        return error == ELOOP || error == EISDIR || error == ENXIO ? AppendOpen::Refused
                                                                   : AppendOpen::CannotOpen;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        why = std::string("not writable (") + std::strerror(errno) + ")";
        ::close(fd);
        fd = -1;
        return AppendOpen::CannotOpen;
    }
    why = refusal(path, st);
    if (why.empty()) {
        // Writes of this descriptor may wait, as any file's do.
        ::fcntl(fd, F_SETFL, O_APPEND);
        return AppendOpen::Opened;
    }
    ::close(fd);
    fd = -1;
    return AppendOpen::Refused;
}

bool rotate_when_large(const std::string& path, uint64_t limit) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || static_cast<uint64_t>(st.st_size) <= limit ||
        !refusal(path, st).empty())
        return false;
    // rename replaces "<path>.old" itself, a link there included, and follows nothing.
    return ::rename(path.c_str(), (path + ".old").c_str()) == 0;
}

#endif
