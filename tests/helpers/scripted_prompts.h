// SPDX-License-Identifier: GPL-2.0-or-later
// Prompts for tests: records every message and question, answers from a queue (No when the
// queue is empty).
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/prompts.h"

class ScriptedPrompts : public Prompts {
  public:
    void show_message(const std::string& text) override { messages.push_back(text); }
    bool ask_yes_no(const std::string& text, const std::string& caption) override {
        questions.push_back({caption, text});
        if (while_asking)
            while_asking();
        if (answers.empty())
            return false;
        bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    struct Question {
        std::string caption;
        std::string text;
    };
    std::vector<std::string> messages;
    std::vector<Question> questions;
    std::deque<bool> answers;
    // Runs while a question is open, as the events of a message box's own loop would.
    std::function<void()> while_asking;
};
