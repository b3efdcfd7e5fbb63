// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/prompts.h"

#include <cstdio>

void Prompts::show_refusal(const std::string& text) {
    std::fprintf(stderr, "velmora: %s\n", text.c_str());
    std::fflush(stderr);
    show_message(text);
}

void UnattendedPrompts::show_message(const std::string& text) {
    std::fprintf(stderr, "velmora: %s\n", text.c_str());
    std::fflush(stderr);
}

bool UnattendedPrompts::ask_yes_no(const std::string& text, const std::string& caption) {
    std::fprintf(stderr, "velmora: %s: %s [answered No]\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    return false;
}
