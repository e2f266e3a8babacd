// The search behind Find and Find Next: tests the image list's items in
// list order and, in subfolder mode, walks the folder tree depth-first,
// making the browser show each folder while it is searched, so a match is
// always shown in its own folder.
//
// The search works in steps: start() sets it up and each run() does a
// bounded piece of work, so a window can keep serving input between steps
// (and cancel()); the command line simply runs it to the end.
//
// Threading: the user-interface thread, with the host's calls made there.
#pragma once

#include "find/find_criteria.h"
#include "qelvio/p_filetree.h"
#include "qelvio/p_irl.h"

#include <string>
#include <vector>

namespace qelvio::find {

// What a search reads from and does to the browser.
class FindHost {
public:
    virtual ~FindHost() = default;
    // The folder the image list shows.
    virtual p_irl shown_folder() = 0;
    // The image list's items, in list order.
    virtual int item_count() = 0;
    virtual std::u16string item_name(int index) = 0;
    virtual int64_t item_size(int index) = 0;
    // The item's metadata (null when it has none); asked only for a words
    // search. The pointer is used until the next call.
    virtual const metadata::ExifTagList* item_tags(int index) = 0;
    // The frame's call that makes the browser show a folder; afterwards the
    // items are those of that folder.
    virtual void show_folder(const p_irl& folder) = 0;
    // Loads the shown folder once more (after a search that changed it).
    virtual void reload_folder() = 0;
    // The node of a folder's locator, or null.
    virtual p_filenode* folder_node(const p_irl& folder) = 0;
    // The searching flag: while set an empty list shows "Searching..." and
    // thumbnail work is held back.
    virtual void set_searching(bool on) = 0;
};

// Results of run().
inline constexpr int kSearchRunning = -2;
inline constexpr int kSearchNotFound = -1;

class FindSearch {
public:
    explicit FindSearch(FindHost& target) : host(target) {}

    // New criteria: no last match, not finished, no folder stack.
    void reset(const FindCriteria& criteria);
    const FindCriteria& criteria() const { return what; }

    // Starts a search step after `position` (-1: from the top). Without a
    // criterion the step ends at once with kSearchNotFound.
    void start(int position);
    // Tests up to `budget` items (entering a folder counts as one); returns
    // kSearchRunning, the index of the match in the shown folder, or
    // kSearchNotFound.
    int run(int budget = 64);
    // Runs the step to its end.
    int run_to_end();
    bool running() const { return active; }
    // Stops a running step where it is (the result is kSearchNotFound).
    void cancel();

    // Every match of the shown folder from the top (subfolders are not
    // searched); sets the finished flag.
    std::vector<int> all_matches();

    // Whether the item passes every criterion.
    bool passes(int index);

    // State kept between Find and Find Next.
    int last_match = -1;
    bool finished = false;

    // The folder stack of the walk, bottom first: each frame's folder and
    // the names of its subfolders already entered.
    struct Frame {
        p_irl folder;
        std::vector<std::u16string> entered;
    };
    const std::vector<Frame>& stack() const { return frames; }

private:
    int finish(int result);
    // Enters the next subfolder of the walk; false when the walk ended.
    bool enter_next_folder();

    FindHost& host;
    FindCriteria what;
    std::vector<Frame> frames;
    bool active = false;
    int next_item = 0;
    bool folder_changed = false;
};

}  // namespace qelvio::find
