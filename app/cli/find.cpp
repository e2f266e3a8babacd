// qelvio-cli find: Find and Find Next over a folder (and with --subfolders
// its subfolders), printing the local path of each match in the order the
// browser would show them.
#include "app/cli/command.h"
#include "app/cli/image_session.h"
#include "app/cli/locate.h"

#include "find/find_commands.h"
#include "find/tree_host.h"
#include "platform/device_root.h"
#include "qelvio/p_fileops.h"
#include "resources/string_table.h"

#include <cstdio>

namespace qelvio::cli {
namespace {

constexpr const char* kUsage =
    "usage: qelvio-cli find FOLDER [--name T] [--words W] [--size '>N'|'<N'] [--subfolders | --select-all]\n";

std::string text_of(int id) { return text::to_utf8(resources::load_string(id)); }

// Find Next's question: the command line never starts again from the top.
struct NoRestart : platform::UserQuestion {
    int ask_yes_no_cancel(int) override { return platform::kAnswerNo; }
    int ask(int, std::u16string_view, int) override { return platform::kAnswerNo; }
};

void print_match(find::TreeFindHost& host, int index) {
    p_string path;
    if (p_localpath(host.item_node(index), path)) std::printf("%s\n", platform::to_local_path(path.view()).c_str());
    else std::printf("%s\n", host.item_locator(index).utf8().c_str());
}

}  // namespace

int run_find(const Args& args) {
    find::FindFields fields;
    std::string folder;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool has_value = i + 1 < args.size();
        if (a == "--name" && has_value) fields.name = text::to_utf16(args[++i]);
        else if (a == "--words" && has_value) fields.words = text::to_utf16(args[++i]);
        else if (a == "--size" && has_value) {
            const std::string& v = args[++i];
            if (v.empty() || (v[0] != '>' && v[0] != '<')) {
                std::fputs(kUsage, stderr);
                return 2;
            }
            fields.size_mode = v[0] == '>' ? find::kSizeGreater : find::kSizeLess;
            fields.size_text = text::to_utf16(v.substr(1));
        } else if (a == "--subfolders") fields.subfolders = true;
        else if (a == "--select-all") fields.select_all = true;
        else if (a.rfind("--", 0) == 0 || !folder.empty()) {
            std::fputs(kUsage, stderr);
            return 2;
        } else folder = a;
    }
    // The dialog's check boxes exclude each other.
    if (folder.empty() || (fields.subfolders && fields.select_all)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    find::FindCriteria criteria;
    if (int message = find::read_fields(fields, criteria)) {
        std::fprintf(stderr, "qelvio-cli find: %s\n", text_of(message).c_str());
        return 2;
    }
    if (!criteria.any()) {
        std::fputs("qelvio-cli find: give a name, words or a size to look for\n", stderr);
        return 2;
    }
    ImageSession session;
    p_filenode* node = locate(session.tree(), folder, "find");
    if (!node) return 1;
    if (!node->isdirectory()) return report("find", P_INVALID_LOCATION, folder);
    p_irl start;
    node->getirl(start);
    find::TreeFindHost host(session.tree(), start);
    find::FindSearch search(host);
    search.reset(criteria);
    if (criteria.select_all) {
        std::vector<int> matches = search.all_matches();
        for (int index : matches) print_match(host, index);
        p_string message;
        message.format(resources::load_string(35065), static_cast<int>(matches.size()));
        std::fprintf(stderr, "%s\n", message.utf8().c_str());
        return 0;
    }
    NoRestart question;
    int matches = 0;
    for (int index = find::find_first(search); index >= 0; index = find::find_next(search, question)) {
        print_match(host, index);
        ++matches;
    }
    if (!matches) std::fprintf(stderr, "%s\n", text_of(35063).c_str());
    return 0;
}

}  // namespace qelvio::cli
