// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "support/link_target.h"

namespace {

// A file descriptor closed at the end of its scope.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now, for the result of the close.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

AtomicWrite fail(AtomicWrite result, std::string* why, const char* reason) {
    if (why)
        *why = reason;
    return result;
}

AtomicWrite fail_errno(AtomicWrite result, std::string* why, int error) {
    return fail(result, why, std::strerror(error));
}

bool write_all(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = EIO;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// The mode a new file gets from the process's umask, as an ordinary create would give it.
mode_t new_file_mode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// The new file takes the old one's owner and group (a run as root over a user's files leaves
// them the user's) and its permissions. chown is asked for only when the ids differ: an
// ordinary user may not call it otherwise needlessly failing.
bool take_owner_and_mode(int fd, const struct stat* old) {
    if (!old)
        return ::fchmod(fd, new_file_mode()) == 0;
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    if ((st.st_uid != old->st_uid || st.st_gid != old->st_gid) &&
        ::fchown(fd, old->st_uid, old->st_gid) != 0)
        return false;
    return ::fchmod(fd, old->st_mode & 07777) == 0;
}

// The fallback when no new file can take the old one's place: the bytes go over the old
// ones. Space for a longer text is reserved first, so a full disk or a size limit fails
// before a byte of the file has changed.
AtomicWrite rewrite_in_place(int fd, const struct stat& old, const std::string& bytes,
                             std::string* why, const std::string& cause) {
    // A second name is a hard link: the bytes would land in a file somewhere else.
    if (old.st_nlink > 1)
        return fail(AtomicWrite::Refused, why, "a hard link to another file");
    if (bytes.size() > static_cast<size_t>(old.st_size)) {
        const int error = ::posix_fallocate(fd, 0, static_cast<off_t>(bytes.size()));
        if (error != 0)
            return fail_errno(AtomicWrite::WriteError, why, error);
    }
    if (!write_all(fd, bytes) || ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0 ||
        ::fsync(fd) != 0)
        return fail_errno(AtomicWrite::WriteError, why, errno);
    return fail(AtomicWrite::WrittenInPlace, why, cause.c_str());
}

}  // namespace

AtomicWrite write_file_atomically(const std::string& path, const std::string& bytes,
                                  std::string* why) {
    WriteTarget target;
    const TargetCheck check = find_write_target(path, target);
    if (check == TargetCheck::NoStatus)
        return fail_errno(AtomicWrite::CannotOpen, why, errno);
    if (check != TargetCheck::Usable)
        return fail(AtomicWrite::Refused, why, link_refusal_text(check));

    // The existing file is opened first: a file we may not write to stays as it is, as it
    // would for a plain rewrite. O_NOFOLLOW and the fstat make sure it is still the regular
    // file the links led to.
    Fd old(target.exists ? ::open(target.path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)
                         : -1);
    struct stat old_st {};
    if (target.exists) {
        if (old.get() < 0)
            return fail_errno(AtomicWrite::CannotOpen, why, errno);
        if (::fstat(old.get(), &old_st) != 0)
            return fail_errno(AtomicWrite::CannotOpen, why, errno);
        if (!S_ISREG(old_st.st_mode))
            return fail(AtomicWrite::Refused, why, link_refusal_text(TargetCheck::NotRegular));
        if (target.via_link && !trusted_owner(old_st.st_uid))
            return fail(AtomicWrite::Refused, why, link_refusal_text(TargetCheck::ForeignTarget));
    }

    // mkstemp creates the new file exclusively under a name no one has chosen before, so a
    // link or file planted beside the original is never followed or reused.
    std::string temp = target.path + ".velmora-new-XXXXXX";
    Fd out(::mkstemp(temp.data()));
    if (out.get() < 0) {
        const int error = errno;
        if (!target.exists)
            return fail_errno(AtomicWrite::CannotOpen, why, error);
        const std::string cause =
            error == EACCES || error == EPERM
                ? "its folder is not writable"
                : std::string("no new file can be made beside it: ") + std::strerror(error);
        return rewrite_in_place(old.get(), old_st, bytes, why, cause);
    }
    if (!take_owner_and_mode(out.get(), target.exists ? &old_st : nullptr)) {
        const int error = errno;
        out.close();
        ::unlink(temp.c_str());
        if (error != EPERM || !target.exists)
            return fail_errno(AtomicWrite::WriteError, why, error);
        // An ordinary user saving another's file cannot give the new file that owner: the
        // file is rewritten where it is and stays its owner's.
        return rewrite_in_place(old.get(), old_st, bytes, why, "its owner cannot be kept");
    }
    int error = 0;
    if (!write_all(out.get(), bytes) || ::fsync(out.get()) != 0)
        error = errno;
    if (!out.close() && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.c_str(), target.path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return fail_errno(AtomicWrite::WriteError, why, error);
    }
    return AtomicWrite::Written;
}
