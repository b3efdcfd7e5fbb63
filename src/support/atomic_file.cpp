#include "support/atomic_file.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

bool flush_to_disk(std::FILE* f) {
    if (std::fflush(f) != 0)
        return false;
#ifdef _WIN32
    return _commit(_fileno(f)) == 0;
#else
    return fsync(fileno(f)) == 0;
#endif
}

}  // namespace

AtomicWrite write_file_atomically(const std::string& path, const std::string& bytes) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target(path);
    // Through a link the file it points to is replaced, and the link stays.
    if (fs::is_symlink(target, ec)) {
        fs::path link = fs::read_symlink(target, ec);
        if (!ec)
            target = link.is_absolute() ? link : target.parent_path() / link;
    }
    const bool existed = fs::exists(target, ec);
    if (existed) {
        // A file we may not write to stays as it is, as it would for a plain rewrite.
        std::FILE* probe = std::fopen(target.string().c_str(), "r+b");
        if (!probe)
            return AtomicWrite::CannotOpen;
        std::fclose(probe);
    }
    fs::path temp = target;
    temp += ".velmora-new";
    std::FILE* out = std::fopen(temp.string().c_str(), "wb");
    if (!out)
        return AtomicWrite::CannotOpen;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size() && flush_to_disk(out);
    ok = (std::fclose(out) == 0) && ok;
    if (ok && existed)
        fs::permissions(temp, fs::status(target, ec).permissions(), ec);
    if (ok) {
        fs::rename(temp, target, ec);
        ok = !ec;
    }
    if (!ok)
        fs::remove(temp, ec);
    return ok ? AtomicWrite::Written : AtomicWrite::WriteError;
}
