// SPDX-License-Identifier: GPL-2.0-or-later
// Message boxes of the desktop.
#pragma once

#include "app/prompts.h"

class QtPrompts : public Prompts {
  public:
    void show_message(const std::string& text) override;
    bool ask_yes_no(const std::string& text, const std::string& caption) override;
};
