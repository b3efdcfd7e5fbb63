#include "support/link_target.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>

namespace {

// As many links as the kernel follows in one path before it gives up with ELOOP.
constexpr int kMaxLinks = 40;

// The link's text, made relative to the folder the link sits in.
bool next_in_chain(const std::string& link, std::string& next) {
    std::string text(PATH_MAX, '\0');
    const ssize_t n = ::readlink(link.c_str(), text.data(), text.size());
    if (n < 0)
        return false;
    if (static_cast<size_t>(n) == text.size()) {
        errno = ENAMETOOLONG;
        return false;
    }
    text.resize(static_cast<size_t>(n));
    const std::filesystem::path to(text);
    next = to.is_absolute() ? text : (std::filesystem::path(link).parent_path() / to).string();
    return true;
}

}  // namespace

TargetCheck find_write_target(const std::string& path, WriteTarget& target) {
    const uid_t user = ::geteuid();
    target = WriteTarget{path, false, false};
    for (int links = 0; links <= kMaxLinks; ++links) {
        struct stat st {};
        if (::lstat(target.path.c_str(), &st) != 0) {
            // A link to a file not made yet: the file is created where the link points.
            return errno == ENOENT ? TargetCheck::Usable : TargetCheck::NoStatus;
        }
        if (S_ISLNK(st.st_mode)) {
            if (st.st_uid != user)
                return TargetCheck::ForeignLink;
            target.via_link = true;
            if (!next_in_chain(target.path, target.path))
                return TargetCheck::NoStatus;
            continue;
        }
        if (!S_ISREG(st.st_mode))
            return TargetCheck::NotRegular;
        if (target.via_link && st.st_uid != user)
            return TargetCheck::ForeignTarget;
        target.exists = true;
        return TargetCheck::Usable;
    }
    errno = ELOOP;
    return TargetCheck::NoStatus;
}
