#include "find/find_search.h"

#include <algorithm>

namespace qelvio::find {

void FindSearch::reset(const FindCriteria& criteria) {
    if (active) cancel();
    what = criteria;
    last_match = -1;
    finished = false;
    frames.clear();
}

bool FindSearch::passes(int index) {
    if (what.size_mode != kSizeIgnored && !size_passes(what, host.item_size(index))) return false;
    if (!what.name.empty() && !name_passes(what, host.item_name(index))) return false;
    if (!what.words.empty() && !words_pass(what, host.item_tags(index))) return false;
    return true;
}

void FindSearch::start(int position) {
    active = true;
    folder_changed = false;
    next_item = position < 0 ? 0 : position + 1;
    if (!what.any()) return;
    if (position < 0) {
        // A search from the top begins its walk in the shown folder, unless
        // that folder is the walk's current one already.
        p_irl shown = host.shown_folder();
        if (frames.empty() || frames.back().folder.view() != shown.view()) frames.assign(1, Frame{shown, {}});
    }
    host.set_searching(true);
}

int FindSearch::run(int budget) {
    if (!active) return kSearchNotFound;
    if (!what.any()) return finish(kSearchNotFound);
    while (budget-- > 0) {
        if (next_item < host.item_count()) {
            int index = next_item++;
            if (passes(index)) return finish(index);
            continue;
        }
        if (!what.subfolders || !enter_next_folder()) return finish(kSearchNotFound);
    }
    return kSearchRunning;
}

int FindSearch::run_to_end() {
    int result = kSearchRunning;
    while (result == kSearchRunning) result = run();
    return result;
}

void FindSearch::cancel() {
    if (active) finish(kSearchNotFound);
}

bool FindSearch::enter_next_folder() {
    while (!frames.empty()) {
        Frame& current = frames.back();
        p_filenode* node = host.folder_node(current.folder);
        p_filenode* next = nullptr;
        if (node) {
            for (p_filenode* child : node->getchildren()) {
                if (!child->isdirectory()) continue;
                const p_string& name = child->getname();
                std::u16string_view view = name.view();
                if (std::find(current.entered.begin(), current.entered.end(), view) == current.entered.end()) {
                    next = child;
                    break;
                }
            }
        }
        if (next) {
            current.entered.emplace_back(next->getname().view());
            p_irl folder;
            next->getirl(folder);
            frames.push_back(Frame{folder, {}});
            host.show_folder(folder);
            folder_changed = true;
            next_item = 0;
            return true;
        }
        p_irl finished_folder = current.folder;
        frames.pop_back();
        if (frames.empty()) {
            host.show_folder(finished_folder);
            folder_changed = true;
            next_item = host.item_count();
            return false;
        }
        // The finished folder lets go of its file entries.
        if (node) node->settrack(P_TRACK_FOLDERS, nullptr, true);
    }
    return false;
}

int FindSearch::finish(int result) {
    active = false;
    host.set_searching(false);
    if (folder_changed) host.reload_folder();
    folder_changed = false;
    return result;
}

std::vector<int> FindSearch::all_matches() {
    finished = true;
    std::vector<int> matches;
    if (!what.any()) return matches;
    host.set_searching(true);
    for (int i = 0; i < host.item_count(); ++i)
        if (passes(i)) matches.push_back(i);
    host.set_searching(false);
    return matches;
}

}  // namespace qelvio::find
