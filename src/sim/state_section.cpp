// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/state_section.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

bool parse_u64(const std::string& text, uint64_t& out) {
    const char* first = text.data();
    const char* last = first + text.size();
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        first += 2;
        base = 16;
    }
    if (first == last)
        return false;
    auto res = std::from_chars(first, last, out, base);
    return res.ec == std::errc() && res.ptr == last;
}

}  // namespace

bool StateSection::set(const std::string& key, const std::string& value) {
    const auto [at, added] = index_.try_emplace(key, entries_.size());
    if (!added) {
        entries_[at->second].second = value;
        return false;
    }
    entries_.emplace_back(key, value);
    asked_.push_back(false);
    return true;
}

void StateSection::set_u32(const std::string& key, uint32_t value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08x", value);
    set(key, buf);
}

void StateSection::set_u8(const std::string& key, uint8_t value) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02x", value);
    set(key, buf);
}

void StateSection::set_int(const std::string& key, int64_t value) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    set(key, std::string(buf, res.ptr));
}

void StateSection::set_double(const std::string& key, double value) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    set(key, std::string(buf, res.ptr));
}

void StateSection::set_bytes(const std::string& key, const uint8_t* bytes, size_t count) {
    std::string text;
    char buf[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
        if (i)
            text += ' ';
        text += buf;
    }
    set(key, text);
}

const std::string* StateSection::find(const std::string& key) const {
    const auto at = index_.find(key);
    if (at == index_.end())
        return nullptr;
    asked_[at->second] = true;
    return &entries_[at->second].second;
}

std::vector<std::string> StateSection::unasked_keys() const {
    std::vector<std::string> keys;
    for (size_t i = 0; i < entries_.size(); ++i)
        if (!asked_[i])
            keys.push_back(entries_[i].first);
    return keys;
}

bool StateSection::get_u32(const std::string& key, uint32_t& out) const {
    const std::string* text = find(key);
    uint64_t v = 0;
    if (!text || !parse_u64(*text, v) || v > 0xFFFFFFFFu)
        return false;
    out = static_cast<uint32_t>(v);
    return true;
}

bool StateSection::get_u8(const std::string& key, uint8_t& out) const {
    uint32_t v = 0;
    if (!get_u32(key, v) || v > 0xFF)
        return false;
    out = static_cast<uint8_t>(v);
    return true;
}

bool StateSection::get_int(const std::string& key, int64_t& out) const {
    const std::string* text = find(key);
    if (!text || text->empty())
        return false;
    int64_t v = 0;
    auto res = std::from_chars(text->data(), text->data() + text->size(), v);
    if (res.ec != std::errc() || res.ptr != text->data() + text->size())
        return false;
    out = v;
    return true;
}

bool StateSection::get_double(const std::string& key, double& out) const {
    const std::string* text = find(key);
    if (!text || text->empty())
        return false;
    double v = 0;
    auto res = std::from_chars(text->data(), text->data() + text->size(), v);
    if (res.ec != std::errc() || res.ptr != text->data() + text->size() || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

bool StateSection::get_bytes(const std::string& key, uint8_t* bytes, size_t count) const {
    const std::string* text = find(key);
    if (!text || text->size() != (count ? count * 3 - 1 : 0))
        return false;
    uint8_t parsed[256];
    if (count > sizeof parsed)
        return false;
    for (size_t i = 0; i < count; ++i) {
        if (i && (*text)[i * 3 - 1] != ' ')
            return false;
        unsigned v = 0;
        auto res = std::from_chars(text->data() + i * 3, text->data() + i * 3 + 2, v, 16);
        if (res.ec != std::errc() || res.ptr != text->data() + i * 3 + 2)
            return false;
        parsed[i] = static_cast<uint8_t>(v);
    }
    for (size_t i = 0; i < count; ++i)
        bytes[i] = parsed[i];
    return true;
}
