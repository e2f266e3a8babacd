// qelvio-cli rename: gives files new names as the browser's Rename does:
// one file gets NAME and keeps its extension; several get NAME followed by
// a zero-padded number (1, 2, 3... in the order given) and their own
// extension. A name that exists already is asked about first.
#include "app/cli/command.h"
#include "app/cli/locate.h"
#include "app/cli/prompts.h"

#include "browser/rename_sequence.h"

#include <cstdio>
#include <set>

namespace qelvio::cli {
namespace {

constexpr const char* usage_text =
    "usage: qelvio-cli rename --name NAME [--digits 1-5] [--overwrite ask|yes|no] FILE...\n";

// Messages go to stderr on one line each; the overwrite question is the
// terminal's, or the --overwrite answer.
class TerminalFeedback : public browser::FileOperationFeedback {
public:
    explicit TerminalFeedback(std::string overwrite) : overwrite_(std::move(overwrite)) {}
    std::unique_ptr<p_overwriteprompt> make_prompt(bool) override { return overwrite_prompt(overwrite_); }
    bool confirm_delete() override { return false; }
    void showmessage(const p_string& text) override {
        std::string line = text.utf8();
        for (char& c : line)
            if (c == '\n') c = ' ';
        std::fprintf(stderr, "qelvio-cli rename: %s\n", line.c_str());
    }

private:
    std::string overwrite_;
};

}  // namespace

int run_rename(const Args& args) {
    std::string name, overwrite = "ask";
    int digits = 2;  // as the rename dialog starts
    bool named = false, digits_ok = true;
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--name" && i + 1 < args.size()) {
            name = args[++i];
            named = true;
        } else if (args[i] == "--digits" && i + 1 < args.size()) {
            const std::string& d = args[++i];
            digits_ok = d.size() == 1 && d[0] >= '1' && d[0] <= '5';
            if (digits_ok) digits = d[0] - '0';
        } else if (args[i] == "--overwrite" && i + 1 < args.size()) {
            overwrite = args[++i];
        } else {
            paths.push_back(args[i]);
        }
    }
    if (!named || !digits_ok || paths.empty() || !overwrite_prompt(overwrite)) {
        std::fputs(usage_text, stderr);
        return 2;
    }
    // Every file is found before any is renamed, so that the numbers are
    // the ones the order given promises.
    p_mcp mcp;
    std::vector<p_filenode*> files;
    std::set<p_filenode*> seen;
    for (const std::string& path : paths) {
        p_filenode* file = locate(mcp, path, "rename");
        if (!file) return 1;
        if (file->isdirectory()) return report("rename", P_NOT_SUPPORTED, path);
        if (!seen.insert(file).second) return report("rename", P_INVALID_PARAMETER, path);
        files.push_back(file);
    }
    TerminalFeedback feedback(overwrite);
    return browser::rename_files(files, text::to_utf16(name), digits, feedback) == 0 ? 0 : 1;
}

}  // namespace qelvio::cli
