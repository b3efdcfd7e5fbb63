// SPDX-License-Identifier: GPL-2.0-or-later
// Whether a text is one JSON value and nothing else, read as strictly as the standard's
// grammar: numbers without a trailing point, a leading '+' or leading zeros, strings without
// raw control bytes, no trailing commas. Toolkit parsers accept more than a script's would.
#pragma once

#include <cctype>
#include <string>

class StrictJson {
  public:
    static bool valid(const std::string& text) {
        StrictJson p(text);
        return p.value() && (p.blank(), p.at_ == text.size());
    }

  private:
    explicit StrictJson(const std::string& text) : t_(text) {}

    bool value() {
        blank();
        if (at_ >= t_.size())
            return false;
        switch (t_[at_]) {
            case '{':
                return members('}', true);
            case '[':
                return members(']', false);
            case '"':
                return string();
            case 't':
                return word("true");
            case 'f':
                return word("false");
            case 'n':
                return word("null");
            default:
                return number();
        }
    }
    bool members(char close, bool keyed) {
        ++at_;
        blank();
        if (peek(close))
            return ++at_, true;
        do {
            blank();
            if (keyed && !(string() && (blank(), eat(':'))))
                return false;
            if (!value())
                return false;
            blank();
        } while (eat(','));
        return eat(close);
    }
    bool string() {
        if (!eat('"'))
            return false;
        while (at_ < t_.size() && t_[at_] != '"') {
            const auto c = static_cast<unsigned char>(t_[at_++]);
            if (c < 0x20)
                return false;
            if (c == '\\') {
                if (at_ >= t_.size())
                    return false;
                const char e = t_[at_++];
                if (e == 'u') {
                    for (int i = 0; i < 4; ++i)
                        if (at_ >= t_.size() ||
                            !std::isxdigit(static_cast<unsigned char>(t_[at_++])))
                            return false;
                } else if (std::string("\"\\/bfnrt").find(e) == std::string::npos) {
                    return false;
                }
            }
        }
        return eat('"');
    }
    bool number() {
        eat('-');
        if (eat('0')) {
        } else if (!digits()) {
            return false;
        }
        if (eat('.') && !digits())
            return false;
        if (peek('e') || peek('E')) {
            ++at_;
            if (!eat('+'))
                eat('-');
            return digits();
        }
        return true;
    }
    bool digits() {
        const size_t from = at_;
        while (at_ < t_.size() && std::isdigit(static_cast<unsigned char>(t_[at_])))
            ++at_;
        return at_ > from;
    }
    bool word(const char* w) {
        const std::string s(w);
        if (t_.compare(at_, s.size(), s) != 0)
            return false;
        at_ += s.size();
        return true;
    }
    void blank() {
        while (at_ < t_.size() && std::string(" \t\r\n").find(t_[at_]) != std::string::npos)
            ++at_;
    }
    bool peek(char c) const { return at_ < t_.size() && t_[at_] == c; }
    bool eat(char c) { return peek(c) ? (++at_, true) : false; }

    const std::string& t_;
    size_t at_ = 0;
};
