// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/state_file.h"

#include <string_view>

namespace {

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string line_label(size_t line_number) {
    return "state file line " + std::to_string(line_number);
}

}  // namespace

size_t StateFile::position(const std::string& name) {
    const auto [at, added] = index_.try_emplace(name, sections_.size());
    if (added)
        sections_.emplace_back(name, StateSection{});
    return at->second;
}

StateSection& StateFile::section(const std::string& name) {
    return sections_[position(name)].second;
}

const StateSection* StateFile::find(const std::string& name) const {
    const auto at = index_.find(name);
    return at == index_.end() ? nullptr : &sections_[at->second].second;
}

std::string StateFile::format() const {
    std::string text;
    for (const auto& [name, section] : sections_) {
        if (!text.empty())
            text += "\r\n";
        text += "[" + name + "]\r\n";
        for (const auto& [key, value] : section.entries())
            text += key + "=" + value + "\r\n";
    }
    return text;
}

std::string StateFile::shown(const std::string& text) {
    constexpr size_t kMax = 40;
    std::string out;
    for (size_t i = 0; i < text.size() && i < kMax; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    if (text.size() > kMax)
        out += "...";
    return out;
}

StateFile StateFile::parse(const std::string& text, SimLoadReport& report) {
    StateFile file;
    // An index rather than a pointer: a new section may move the others.
    size_t current = 0;
    bool in_section = false;
    bool skipping = false;  // after a header that could not be read
    std::string_view rest(text);
    if (rest.substr(0, 3) == "\xEF\xBB\xBF")  // a byte-order mark from an editor
        rest.remove_prefix(3);
    for (size_t line_number = 1; !rest.empty(); ++line_number) {
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        line = trimmed(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            const std::string_view name =
                line.back() == ']' ? trimmed(line.substr(1, line.size() - 2)) : std::string_view{};
            if (name.empty()) {
                report.problem(line_label(line_number) +
                               " not understood, the entries after it up to the next section "
                               "ignored");
                in_section = false;
                skipping = true;
                continue;
            }
            current = file.position(std::string(name));
            in_section = true;
            skipping = false;
            continue;
        }
        if (skipping)
            continue;
        const size_t eq = line.find('=');
        const std::string_view key = trimmed(line.substr(0, eq == line.npos ? 0 : eq));
        if (!in_section || eq == line.npos || key.empty()) {
            report.problem(line_label(line_number) + " not understood");
            continue;
        }
        auto& [section_name, section] = file.sections_[current];
        if (!section.set(std::string(key), std::string(trimmed(line.substr(eq + 1)))))
            report.problem(line_label(line_number) + ": " + shown(section_name) + " " +
                           shown(std::string(key)) + " given again, the earlier value ignored");
    }
    return file;
}
