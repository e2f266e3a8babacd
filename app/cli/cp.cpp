// qelvio-cli cp: copies or moves a file into a folder with the browser's
// rules: "Copy of ..." names in the source's own folder, and a question
// before replacing a file.
#include "app/cli/command.h"
#include "app/cli/locate.h"
#include "app/cli/prompts.h"

#include "qelvio/p_fileops.h"

#include <cstdio>

namespace qelvio::cli {
namespace {

constexpr const char* usage_text =
    "usage: qelvio-cli cp [--move] [--name NEW] [--overwrite ask|yes|no] SOURCE... FOLDER\n";

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
    // One prompt for the whole operation, so "all" and "None" hold for every file.
    std::unique_ptr<p_overwriteprompt> prompt_owner = overwrite_prompt(overwrite);
    p_overwriteprompt* prompt = prompt_owner.get();
    if (paths.size() < 2 || (paths.size() > 2 && !name.empty()) || !prompt) {
        std::fputs(usage_text, stderr);
        return 2;
    }
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
