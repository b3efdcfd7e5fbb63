#include "sim/state_file.h"

StateSection& StateFile::section(const std::string& name) {
    for (auto& [n, s] : sections_)
        if (n == name)
            return s;
    sections_.emplace_back(name, StateSection{});
    return sections_.back().second;
}

const StateSection* StateFile::find(const std::string& name) const {
    for (const auto& [n, s] : sections_)
        if (n == name)
            return &s;
    return nullptr;
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

StateFile StateFile::parse(const std::string& text, SimLoadReport& report) {
    StateFile file;
    StateSection* current = nullptr;
    size_t line_number = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++line_number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[' && line.back() == ']' && line.size() > 2) {
            current = &file.section(line.substr(1, line.size() - 2));
            continue;
        }
        const size_t eq = line.find('=');
        if (current && eq != std::string::npos && eq > 0) {
            current->set(line.substr(0, eq), line.substr(eq + 1));
            continue;
        }
        report.problem("state file line " + std::to_string(line_number) + " not understood");
    }
    return file;
}
