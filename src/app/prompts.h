// SPDX-License-Identifier: GPL-2.0-or-later
// Modal message boxes and Yes/No questions, the only way velmora asks or tells the user
// something that cannot wait for the status bar.
#pragma once

#include <string>

class Prompts {
  public:
    virtual ~Prompts() = default;
    // A modal message without owner, captioned with the application title.
    virtual void show_message(const std::string& text) = 0;
    // A modal warning with Yes and No, No the default. True for Yes.
    virtual bool ask_yes_no(const std::string& text, const std::string& caption) = 0;
    // A message that ends the run: also on standard error ("velmora: <text>"), where a
    // start-up script looks.
    virtual void show_refusal(const std::string& text);
};

// For runs without anyone at the screen: every message goes to standard error, every
// question is answered No.
class UnattendedPrompts : public Prompts {
  public:
    void show_message(const std::string& text) override;
    bool ask_yes_no(const std::string& text, const std::string& caption) override;
    void show_refusal(const std::string& text) override { show_message(text); }
};
