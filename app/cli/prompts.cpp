#include "app/cli/prompts.h"

#include <cstdio>
#include <iostream>

namespace qelvio::cli {
namespace {

class TerminalPrompt : public p_overwriteprompt {
protected:
    int show(const p_irl& source, const p_irl& existing) override {
        for (;;) {
            std::fprintf(stderr, "Replace %s\n   with %s? [y]es [n]o [a]ll [N]one [c]ancel: ",
                         existing.utf8().c_str(), source.utf8().c_str());
            std::string line;
            if (!std::getline(std::cin, line)) return P_ANSWER_DISMISSED;
            if (line == "y") return P_ANSWER_YES;
            if (line == "a") return P_ANSWER_YESTOALL;
            if (line == "n") return P_ANSWER_NO;
            if (line == "N") return P_ANSWER_NOTOALL;
            if (line == "c") return P_ANSWER_CANCEL;
        }
    }
};

// Gives the same answer every time.
class FixedPrompt : public p_overwriteprompt {
public:
    explicit FixedPrompt(int fixed) : answer(fixed) {}

protected:
    int show(const p_irl&, const p_irl&) override { return answer; }

private:
    int answer;
};

}  // namespace

std::unique_ptr<p_overwriteprompt> overwrite_prompt(const std::string& value) {
    if (value == "ask") return std::make_unique<TerminalPrompt>();
    if (value == "yes") return std::make_unique<FixedPrompt>(P_ANSWER_YESTOALL);
    if (value == "no") return std::make_unique<FixedPrompt>(P_ANSWER_NOTOALL);
    return nullptr;
}

}  // namespace qelvio::cli
