// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/link_target.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <deque>

namespace {

// As many links as the kernel follows in one path before it gives up with ELOOP.
constexpr int kMaxLinks = 40;

bool read_link(const std::string& link, std::string& text) {
    text.assign(PATH_MAX, '\0');
    const ssize_t n = ::readlink(link.c_str(), text.data(), text.size());
    if (n < 0)
        return false;
    if (static_cast<size_t>(n) == text.size()) {
        errno = ENAMETOOLONG;
        return false;
    }
    text.resize(static_cast<size_t>(n));
    return true;
}

// The names of a path in order, "." and empty ones left out.
void push_names_front(const std::string& path, std::deque<std::string>& names) {
    std::deque<std::string> parts;
    size_t at = 0;
    while (at <= path.size()) {
        size_t slash = path.find('/', at);
        if (slash == std::string::npos)
            slash = path.size();
        const std::string name = path.substr(at, slash - at);
        if (!name.empty() && name != ".")
            parts.push_back(name);
        at = slash + 1;
    }
    names.insert(names.begin(), parts.begin(), parts.end());
}

std::string joined(const std::string& folder, const std::string& name) {
    std::string path = folder;
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += name;
    return path;
}

}  // namespace

TargetCheck find_write_target(const std::string& path, WriteTarget& target) {
    target = WriteTarget{path, false, false};
    // `folder` is the part of the path walked so far, with every link in it replaced by where
    // it leads; "" is the working folder. A ".." is kept as it is: what it follows is a real
    // folder by then.
    std::string folder = !path.empty() && path[0] == '/' ? "/" : "";
    std::deque<std::string> names;
    push_names_front(path, names);
    int links = 0;
    while (!names.empty()) {
        const std::string name = names.front();
        names.pop_front();
        const std::string here = joined(folder, name);
        const bool last = names.empty();
        struct stat st {};
        if (::lstat(here.c_str(), &st) != 0) {
            if (errno != ENOENT || !last)
                return TargetCheck::NoStatus;
            // A file not made yet: it is created there.
            target.path = here;
            return TargetCheck::Usable;
        }
        if (S_ISLNK(st.st_mode)) {
            if (!trusted_owner(st.st_uid))
                return TargetCheck::ForeignLink;
            if (++links > kMaxLinks) {
                errno = ELOOP;
                return TargetCheck::NoStatus;
            }
            std::string text;
            if (!read_link(here, text))
                return TargetCheck::NoStatus;
            target.via_link = true;
            if (!text.empty() && text[0] == '/')
                folder.assign(1, '/');  // an absolute link starts from the root
            push_names_front(text, names);
            continue;
        }
        if (!last) {
            if (!S_ISDIR(st.st_mode)) {
                errno = ENOTDIR;
                return TargetCheck::NoStatus;
            }
            folder = here;
            continue;
        }
        target.path = here;
        if (!S_ISREG(st.st_mode))
            return TargetCheck::NotRegular;
        if (target.via_link && !trusted_owner(st.st_uid))
            return TargetCheck::ForeignTarget;
        target.exists = true;
        return TargetCheck::Usable;
    }
    // A path of no names ("", ".", "/"): a folder, not a file.
    return TargetCheck::NotRegular;
}

const char* link_refusal_text(TargetCheck check) {
    switch (check) {
        case TargetCheck::ForeignLink:
            return "a link that belongs to another user";
        case TargetCheck::ForeignTarget:
            return "a link to a file of another user";
        default:
            return "not a regular file";
    }
}

bool trusted_owner(unsigned uid) {
    return uid == ::geteuid() || uid == 0;
}
