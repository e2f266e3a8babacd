// An overwrite prompt that answers from a script and records what it was
// shown.
#pragma once

#include "qelvio/p_fileops.h"

#include <deque>
#include <string>

struct ScriptedPrompt : p_overwriteprompt {
    explicit ScriptedPrompt(std::deque<int> script) : answers(std::move(script)) {}
    int show(const p_irl& source, const p_irl& existing) override {
        ++shown;
        last_source = source.utf8();
        last_existing = existing.utf8();
        int a = answers.empty() ? P_ANSWER_DISMISSED : answers.front();
        if (!answers.empty()) answers.pop_front();
        return a;
    }
    std::deque<int> answers;
    int shown = 0;
    std::string last_source, last_existing;
};
