// SPDX-License-Identifier: GPL-2.0-or-later
// The atomic writer on Windows: no links or owners to look after, the new file's name is
// made unique with a random suffix and created exclusively.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "support/atomic_file.h"

namespace {

AtomicWrite fail(AtomicWrite result, std::string* why, const std::string& reason) {
    if (why)
        *why = reason;
    return result;
}

bool write_all(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const size_t chunk = std::min<size_t>(bytes.size() - done, 1u << 30);
        const int n = _write(fd, bytes.data() + done, static_cast<unsigned>(chunk));
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// A name beside the file that does not exist yet, opened exclusively.
int create_new_file(const std::string& path, std::string& name) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%06x", static_cast<unsigned>(random()) & 0xFFFFFFu);
        name = path + ".velmora-new-" + suffix;
        const int fd =
            _open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

}  // namespace

AtomicWrite write_file_atomically(const std::string& path, const std::string& bytes,
                                  std::string* why) {
    struct _stat64 st {};
    const bool exists = _stat64(path.c_str(), &st) == 0;
    if (exists && (st.st_mode & _S_IFMT) != _S_IFREG)
        return fail(AtomicWrite::Refused, why, "not a regular file");
    int old = -1;
    if (exists && (old = _open(path.c_str(), _O_RDWR | _O_BINARY)) < 0)
        return fail(AtomicWrite::CannotOpen, why, std::strerror(errno));

    std::string temp;
    const int out = create_new_file(path, temp);
    if (out < 0) {
        const std::string cause = std::strerror(errno);
        if (!exists)
            return fail(AtomicWrite::CannotOpen, why, cause);
        const bool ok = _chsize_s(old, 0) == 0 && write_all(old, bytes) && _commit(old) == 0;
        const std::string error = std::strerror(errno);
        _close(old);
        return ok ? fail(AtomicWrite::WrittenInPlace, why,
                         "no new file can be made beside it: " + cause)
                  : fail(AtomicWrite::WriteError, why, error);
    }
    if (old >= 0)
        _close(old);
    bool ok = write_all(out, bytes) && _commit(out) == 0;
    std::string error = std::strerror(errno);
    ok = _close(out) == 0 && ok;
    namespace fs = std::filesystem;
    std::error_code ec;
    if (ok && exists)
        fs::permissions(temp, fs::status(path, ec).permissions(), ec);
    if (ok) {
        fs::rename(temp, path, ec);
        ok = !ec;
        if (ec)
            error = ec.message();
    }
    if (!ok) {
        fs::remove(temp, ec);
        return fail(AtomicWrite::WriteError, why, error);
    }
    return AtomicWrite::Written;
}
