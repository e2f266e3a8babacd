// p_thumbcache: the one place image objects are obtained, one per path for
// the whole run, and the folder of small JPEG thumbnails of the most
// recently used images, found again through its "index" file after a
// restart.
//
// Records are kept in most-recently-used order and never dropped while the
// program runs. Records from position 64 (the in-memory window) on lose
// their decoded data. The number of stored thumbnails is a separate
// parameter (64 on the handheld, far more on a desktop): records from that
// position on lose their stored thumbnail files at each save, and only the
// ones before it are indexed. A thumbnail made for a record that leaves the
// window before the next save is kept aside until then, so it is stored.
//
// Paths compare exactly, as the file system compares names (a.jpg and
// A.jpg are two images); thumbnail file names ("olm*") ignore letter case.
//
// Threading: getimage, forget, repath, save and stopsave are called on the
// user-interface thread. save(true, true) runs the save pass on a thread of
// its own; stopsave() and the next save wait for it. The record list is
// guarded by a lock that the save pass takes per record, so the
// user-interface thread may look images up meanwhile. The background pass
// reaches files only through the platform layer (never the file tree) and
// reads thumbnails only through p_ImageSource::copy_thumbnail.
#pragma once

#include "decoding/source/image_source.h"
#include "qelvio/p_cachehooks.h"

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace qelvio::thumbnails {

// Records whose images keep their decoded data.
inline constexpr std::size_t kWindow = 64;
// Stored thumbnails (index entries) unless the program chooses another
// number. The handheld's flash holds 64; a desktop's disk budget of some
// 30 MB holds 10000 (a stored thumbnail is 2 to 3 KB), which the desktop
// programs keep.
inline constexpr std::size_t kDefaultStored = 64;
inline constexpr std::size_t kDesktopStored = 10000;
// Longest path an index entry can hold (units, without the terminator).
inline constexpr std::size_t kMaxIndexPath = 259;

class p_thumbcache : public p_cachehooks {
public:
    // Loads the index of the thumbnail folder (a device path; created on
    // first save when missing), keeping at most `stored` thumbnails (at
    // least 1). Image objects are made with these limits.
    explicit p_thumbcache(std::u16string thumbnail_folder,
                          decoding::ImageSourceLimits limits = {},
                          std::size_t stored = kDefaultStored);
    // Waits for a background save; deletes the image objects it made.
    ~p_thumbcache() override;
    p_thumbcache(const p_thumbcache&) = delete;
    p_thumbcache& operator=(const p_thumbcache&) = delete;

    // The image object for a locator (compared exactly), made on first
    // request and moved to the head of the list.
    decoding::p_ImageSource* getimage(const p_string& path);
    // The file's content changed or it is gone: drops the image's decoded
    // data and its stored thumbnail (the file goes at the next save). Also
    // applies to every image under a folder's locator.
    void forget(const p_irl& path) override;
    // A file or folder got a new locator: records under the old prefix follow.
    void repath(const p_irl& from, const p_irl& to) override;

    // Trims, writes new thumbnail files (with write_thumbnails), deletes
    // stale "olm*" files and writes the index; in the background or here.
    // Returns 0, or -100 when the index could not be written (for a pass
    // run here); a background pass always returns 0 at once.
    int save(bool write_thumbnails, bool in_background);
    // Stops a background save and waits until it has ended.
    void stopsave();

    // What a record holds, head first (for tests and diagnostics).
    struct RecordView {
        std::u16string path;
        std::u16string name;
        uint64_t time;
        const decoding::p_ImageSource* image;
    };
    std::vector<RecordView> records() const;

private:
    struct Record {
        std::unique_ptr<decoding::p_ImageSource> image;
        p_string path;
        char16_t name[13] = {};
        uint64_t time = 0;
        // A thumbnail made since the last save whose image has left the
        // window, and the file time it was made at; stored at the next save.
        imaging::DibPtr pending;
        uint64_t pending_time = 0;
        // The image's own locator when it has one.
        p_string current_path() const;
    };

    void load();
    int run_pass(bool write_thumbnails);
    void join_save_thread();
    // Releases the decoded data of the record at position kWindow.
    void release_at_window();
    p_irl thumbnail_locator(Record& record);
    // The locator of a stored thumbnail file.
    p_irl stored_locator(const char16_t* name) const;
    std::u16string file_of(const char16_t* name) const;
    // The names the records hold, letters folded (under the lock).
    std::unordered_set<std::u16string> names_in_use() const;
    // Rebuilds the path index from the list; where two records share a
    // path, the one nearer the head wins, as a walk from the head would find
    // it (under the lock).
    void rebuild_index();
    // Whether the record is within the in-memory window (a walk of at most
    // kWindow records from the head).
    bool within_window(std::list<Record>::const_iterator it) const;

    std::u16string folder;
    decoding::ImageSourceLimits limits;
    std::size_t stored;
    mutable std::mutex lock;
    std::list<Record> list;
    // Each record's current path to its place in the list, so that a lookup
    // costs the same for ten images as for ten thousand. Follows repath.
    std::unordered_map<std::u16string, std::list<Record>::iterator> index;
    std::thread save_thread;
    std::atomic<bool> stop_requested{false};
};

}  // namespace qelvio::thumbnails
