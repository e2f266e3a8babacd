#include "browser/folder_tree_rules.h"

#include "platform/file_system.h"
#include "platform/path_utils.h"
#include "platform/text.h"
#include "platform/user_question.h"
#include "resources/browser_texts.h"
#include "shell/known_folders.h"

#include <algorithm>
#include <set>

namespace qelvio::browser {
namespace {

// The device path of a node of the store "file" (its source has the empty
// location, so the node's path is the device path); false for other stores.
bool device_path(const p_filenode* node, p_string& out) {
    p_filetree* tree = node ? node->gettree() : nullptr;
    if (!tree || !tree->getsource()) return false;
    if (tree->getsource()->getfilestore().getscheme().view() != u"file") return false;
    return node->getpath(out) >= 0;
}

int32_t delete_child(p_filenode* parent, p_filenode* child, const AskText& ask);

// Deletes everything in folder; the first failure, or -20 at once on Cancel.
int32_t delete_contents(p_filenode* folder, const AskText& ask) {
    int32_t listed = folder->settrack(P_TRACK_FILES, u"*", false);
    if (listed < 0) return listed;
    int32_t result = P_OK;
    // A copy: deleting a child changes the list.
    const std::vector<p_filenode*> children = folder->getchildren();
    for (p_filenode* child : children) {
        int32_t r = delete_child(folder, child, ask);
        if (r == P_CANCELLED) return r;
        if (r < 0 && result == P_OK) result = r;
    }
    return result;
}

int32_t delete_child(p_filenode* parent, p_filenode* child, const AskText& ask) {
    p_string path;
    bool link = device_path(child, path) && platform::is_symbolic_link(path.view());
    if (child->isdirectory() && !link) {
        int32_t r = delete_contents(child, ask);
        if (r < 0) return r;
    } else if (!link) {
        uint32_t attributes = 0;
        if (child->getfileattributes(&attributes) >= 0 && (attributes & P_ATTRIBUTE_READONLY)) {
            std::u16string text =
                text::sprintf(1024, resources::kTextFileReadOnlyQuestion, child->getname().view());
            int answer = ask(text, platform::kButtonsYesNoCancel);
            if (answer == platform::kAnswerCancel) return P_CANCELLED;
            if (answer != platform::kAnswerYes) return P_READ_ONLY;
            int32_t cleared = child->setfileattributes(0);
            if (cleared < 0) return cleared;
        }
    }
    p_string name = child->getname();
    return parent->deletechild(name);
}

}  // namespace

std::u16string thumbnail_folder_name() {
    if (auto local = shell::well_known_local_folder(shell::kThumbnailFolder)) {
        std::size_t slash = local->find_last_of('/');
        std::string last = slash == std::string::npos ? *local : local->substr(slash + 1);
        if (!last.empty()) return text::to_utf16(last);
    }
    return u"Qelvio Thumbnails";
}

bool hidden_from_tree(std::u16string_view folder_name, std::u16string_view thumbnail_name) {
    if (thumbnail_name.empty() || folder_name.size() < thumbnail_name.size()) return false;
    for (std::size_t i = 0; i < thumbnail_name.size(); ++i)
        if (text::fold_case(folder_name[i]) != text::fold_case(thumbnail_name[i])) return false;
    return true;
}

int32_t expand_folder(p_filenode* folder) {
    if (!folder || !folder->isdirectory()) return P_FAILED;
    return folder->settrack(P_TRACK_FOLDERS, nullptr, false);
}

std::vector<p_filenode*> walk_path(p_filenode* root, std::u16string_view path,
                                   std::u16string_view thumbnail_name,
                                   const std::function<void()>& take_in) {
    std::vector<p_filenode*> walked;
    if (!root) return walked;
    walked.push_back(root);
    p_filenode* current = root;
    for (std::u16string_view name : platform::split_path(path)) {
        expand_folder(current);
        if (take_in) take_in();
        std::u16string terminated(name);
        // Fetched from the medium when the listing left it out (a hidden
        // folder named on purpose).
        p_filenode* child = current->getchild(terminated.c_str(), true);
        if (take_in) take_in();
        if (!child || !child->isdirectory() || hidden_from_tree(child->getname().view(), thumbnail_name))
            break;
        walked.push_back(child);
        current = child;
    }
    return walked;
}

std::u16string new_folder_name(p_filenode* parent, std::u16string_view base) {
    std::u16string name(base);
    for (int counter = 1; counter < 10000; ++counter) {
        if (!parent->getchild(name.c_str(), true)) return name;
        name = text::sprintf(259, resources::kTextNewFolderNumbered, base, counter);
    }
    return {};
}

int32_t create_new_folder(p_filenode* parent, std::u16string_view base, p_filenode** created) {
    if (created) *created = nullptr;
    if (!parent || !parent->isdirectory()) return P_FAILED;
    std::u16string name = new_folder_name(parent, base);
    if (name.empty()) return P_ALREADY_EXISTS;
    P_CREATEFILESTRUCT create;
    std::copy_n(name.c_str(), std::min<std::size_t>(name.size(), 259), create.name);
    create.isdirectory = true;
    int32_t r = parent->createchild(&create);
    if (r < 0) return r;
    if (created) *created = parent->getexactchild(name.c_str(), false);
    return r;
}

int32_t delete_folder_tree(p_filenode* folder, const AskText& ask) {
    if (!folder || !folder->isdirectory()) return P_FAILED;
    p_filenode* parent = folder->getparent();
    if (!parent) return P_FAILED;  // the root folder is never deleted
    return delete_child(parent, folder, ask);
}

int take_in_outside_folders(p_filenode* folder) {
    if (!folder || !folder->isdirectory() || folder->gettrackmode() < P_TRACK_FOLDERS) return 0;
    p_string path;
    if (!device_path(folder, path)) return 0;
    auto entries = platform::list_folder(path.view(), true);
    if (!entries) return 0;
    // Every folder on the medium counts as present (a hidden one fetched by
    // name stays); only those a listing shows are added.
    std::set<std::u16string> on_medium, shown;
    for (const auto& e : *entries) {
        on_medium.insert(e.name);
        if (!e.attributes.hidden && !e.attributes.system) shown.insert(e.name);
    }
    int changes = 0;
    // Gone: asking the store for a tracked name it no longer has takes the
    // node out of the tree.
    std::vector<p_string> gone;
    for (p_filenode* child : folder->getchildren())
        if (child->isdirectory() && !on_medium.count(std::u16string(child->getname().view())))
            gone.push_back(child->getname());
    for (const p_string& name : gone)
        if (folder->trackchild(name) < 0 && !folder->getexactchild(name, false)) ++changes;
    for (const std::u16string& name : shown) {
        if (folder->getexactchild(name.c_str(), false)) continue;
        if (folder->trackchild(name.c_str()) >= 0) ++changes;
    }
    return changes;
}

}  // namespace qelvio::browser
