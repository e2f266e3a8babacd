// qelvio-cli cp: copies or moves a file into a folder with the browser's
// rules: "Copy of ..." names in the source's own folder, and a question
// before replacing a file.
#include "app/cli/command.h"
#include "app/cli/locate.h"

#include "qelvio/p_fileops.h"

#include <cstdio>
#include <iostream>

namespace qelvio::cli {
namespace {

constexpr const char* usage_text =
    "usage: qelvio-cli cp [--move] [--name NEW] [--overwrite ask|yes|no] SOURCE... FOLDER\n";

// Asks on the terminal: y(es), n(o), a(ll: yes to all), N(one: no to all),
// c(ancel). End of input dismisses the question.
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

int run_cp(const Args& args) {
    bool move = false;
    std::string name, overwrite = "ask";
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--move") {
            move = true;
        } else if (args[i] == "--name" && i + 1 < args.size()) {
            name = args[++i];
        } else if (args[i] == "--overwrite" && i + 1 < args.size()) {
            overwrite = args[++i];
        } else {
            paths.push_back(args[i]);
        }
    }
    if (paths.size() < 2 || (paths.size() > 2 && !name.empty()) ||
        (overwrite != "ask" && overwrite != "yes" && overwrite != "no")) {
        std::fputs(usage_text, stderr);
        return 2;
    }
    // One prompt for the whole operation, so "all" and "None" hold for every file.
    TerminalPrompt ask;
    FixedPrompt yes(P_ANSWER_YESTOALL), no(P_ANSWER_NOTOALL);
    p_overwriteprompt* prompt = overwrite == "yes" ? static_cast<p_overwriteprompt*>(&yes)
                                : overwrite == "no" ? static_cast<p_overwriteprompt*>(&no)
                                                    : &ask;
    p_mcp mcp;
    const std::string& folder_argument = paths.back();
    p_filenode* folder = locate(mcp, folder_argument, "cp");
    if (!folder) return 1;
    if (!folder->isdirectory()) return report("cp", P_INVALID_LOCATION, folder_argument);
    std::u16string new_name = text::to_utf16(name);
    int exit_status = 0;
    for (std::size_t i = 0; i + 1 < paths.size(); ++i) {
        p_filenode* source = locate(mcp, paths[i], "cp");
        if (!source) {
            exit_status = 1;
            continue;
        }
        int32_t status = source->isdirectory()
                             ? P_NOT_SUPPORTED
                             : p_copywithprompts(folder, source, move, prompt,
                                                 name.empty() ? nullptr : new_name.c_str());
        if (report("cp", status, paths[i]) != 0) exit_status = 1;
        if (status == P_CANCELLED) break;  // the rest is not copied either
    }
    return exit_status;
}

}  // namespace qelvio::cli
