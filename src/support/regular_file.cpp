// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <string>

#ifndef _WIN32
#include "support/link_target.h"
#endif
#include <new>

namespace {

#ifdef _WIN32
constexpr int kReadFlags = O_RDONLY | O_BINARY;
#else
// O_NONBLOCK: should the path turn into a FIFO between the status check and the open, the
// open returns at once instead of waiting for a writer; the fstat after it then refuses it.
// O_NOFOLLOW: a link put at the file's place after the check is not followed either.
constexpr int kReadFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW;
#endif

bool is_regular(const struct stat& st) {
    return (st.st_mode & S_IFMT) == S_IFREG;
}

// Reads until the end of the file, which may have grown since its size was taken.
FileRead read_all(int fd, size_t expected, std::string& text) {
    try {
        text.resize(expected);
    } catch (const std::bad_alloc&) {
        return FileRead::NoMemory;
    }
    size_t got = 0;
    char more[4096];
    for (;;) {
        const bool in_place = got < text.size();
        char* into = in_place ? text.data() + got : more;
        const size_t room = in_place ? text.size() - got : sizeof more;
        const auto n = ::read(fd, into, static_cast<unsigned>(room));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return FileRead::ReadError;
        if (n == 0)
            break;
        if (!in_place) {
            try {
                text.append(more, static_cast<size_t>(n));
            } catch (const std::bad_alloc&) {
                return FileRead::NoMemory;
            }
        }
        got += static_cast<size_t>(n);
    }
    text.resize(got);
    return FileRead::Read;
}

// A file that a link led to must be the user's: checked again on the open file, which cannot
// have been swapped since.
bool reached_through_foreign_link(bool via_link, const struct stat& st) {
#ifdef _WIN32
    (void)via_link;
    (void)st;
    return false;
#else
    return via_link && !trusted_owner(st.st_uid);
#endif
}

// Why a file the user's settings folder holds is not the user's to read: a second name (a hard
// link to a file somewhere else, perhaps one only the running user may read) or a third user's
// file. Empty when it may be read: the running user's, or the folder owner's.
const char* foreign_file(const std::string& path, const struct stat& st) {
#ifdef _WIN32
    (void)path;
    (void)st;
    return nullptr;
#else
    if (st.st_nlink > 1)
        return "a hard link to another file";
    if (st.st_uid == ::geteuid())
        return nullptr;
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    struct stat owner {};
    if (::stat(folder.c_str(), &owner) == 0 && owner.st_uid == st.st_uid)
        return nullptr;
    return "a file of another user";
#endif
}

}  // namespace

FileRead read_regular_file(const std::string& path, std::string& text, std::string* why) {
    text.clear();
    struct stat st {};
#ifdef _WIN32
    const std::string& file = path;
    const bool target_of_link = false;
    if (::stat(file.c_str(), &st) != 0)
        return FileRead::Missing;
    if (!is_regular(st))
        return FileRead::NotRegular;
#else
    WriteTarget target;
    const TargetCheck check = find_write_target(path, target);
    switch (check) {
        case TargetCheck::Usable:
            if (!target.exists) {
                errno = ENOENT;
                return FileRead::Missing;
            }
            break;
        case TargetCheck::NotRegular:
            return FileRead::NotRegular;
        case TargetCheck::ForeignLink:
        case TargetCheck::ForeignTarget:
            if (why)
                *why = link_refusal_text(check);
            return FileRead::Refused;
        case TargetCheck::NoStatus:
            return FileRead::Missing;
    }
    const std::string& file = target.path;
    const bool target_of_link = target.via_link;
#endif
    const int fd = ::open(file.c_str(), kReadFlags);
    if (fd < 0)
        return FileRead::CannotOpen;
    FileRead result = FileRead::NotRegular;
    if (::fstat(fd, &st) != 0) {
        result = FileRead::ReadError;
    } else if (reached_through_foreign_link(target_of_link, st)) {
        result = FileRead::Refused;
        if (why)
            *why = "a link to a file of another user";
    } else if (const char* foreign = is_regular(st) ? foreign_file(file, st) : nullptr) {
        result = FileRead::Refused;
        if (why)
            *why = foreign;
    } else if (is_regular(st)) {
        result = read_all(fd, static_cast<size_t>(st.st_size), text);
    }
    const int saved_errno = errno;
    ::close(fd);
    errno = saved_errno;
    if (result != FileRead::Read) {
        text.clear();
        text.shrink_to_fit();
    }
    return result;
}
