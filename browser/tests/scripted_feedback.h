// File-operation feedback that answers from a script and records what the
// user would have seen: messages, prompts (with their multi flag), the
// delete question and the progress window's calls.
#pragma once

#include "browser/file_operations.h"

#include <deque>
#include <string>
#include <vector>

namespace qelvio::browser::testing {

struct ScriptedFeedback : FileOperationFeedback {
    struct Prompt : p_overwriteprompt {
        Prompt(ScriptedFeedback& f) : owner(f) {}
        int show(const p_irl& source, const p_irl& existing) override {
            owner.asked.push_back(existing.utf8() + " <- " + source.utf8());
            if (owner.answers.empty()) return P_ANSWER_DISMISSED;
            int answer = owner.answers.front();
            owner.answers.pop_front();
            return answer;
        }
        ScriptedFeedback& owner;
    };

    std::unique_ptr<p_overwriteprompt> make_prompt(bool multi) override {
        prompts_made.push_back(multi);
        return std::make_unique<Prompt>(*this);
    }
    bool confirm_delete() override {
        ++delete_questions;
        return delete_answer;
    }
    void showmessage(const p_string& text) override { messages.push_back(text.utf8()); }
    void progress_open(const char16_t* text, int minimum, int maximum) override {
        progress.push_back("open " + p_string(text).utf8() + " " + std::to_string(minimum) + "-" +
                           std::to_string(maximum));
    }
    void progress_step(int position) override { progress.push_back("step " + std::to_string(position)); }
    void progress_close() override { progress.push_back("close"); }
    void repaint_now() override { ++repaints; }

    std::deque<int> answers;       // overwrite prompt answers, in order
    bool delete_answer = true;     // the answer to "Delete the selected images?"
    std::vector<bool> prompts_made;  // the multi flag of each prompt made
    std::vector<std::string> asked;  // "existing <- incoming" per prompt shown
    std::vector<std::string> messages;
    std::vector<std::string> progress;
    int delete_questions = 0;
    int repaints = 0;
};

}  // namespace qelvio::browser::testing
