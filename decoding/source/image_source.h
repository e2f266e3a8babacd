// p_ImageSource: the program's object for one image file. It knows the file
// by its locator, opens it only for as long as one operation needs, and
// keeps what was decoded: the facts, a thumbnail of at most 64 x 64 pixels,
// a whole-image bitmap at the largest scale memory allows, the Exif tag list
// and the audio annotation. The thumbnail cache owns one per path.
//
// Threading: every operation is called on the owner's thread. A request
// with a window (a thumbnail, a tile, or the whole image read ahead for
// viewing) runs on one worker thread of the object; the worker
// runs only the decoding step and reports by posting message 2258 (first
// parameter the object, second the request kind) to the window, whose
// owner then calls finish_decode(). At most one decode runs at a time.
// copy_thumbnail() alone may be called from another thread (the thumbnail
// cache's background save); the thumbnail is swapped under a lock.
//
// Zoomed viewing of a large baseline JPEG: in viewing mode, while the
// whole-image bitmap is below full size, the page is also kept as a grid of
// tiles (see tile_grid.h) decoded one at a time on the worker from a region
// index recorded during the whole-image decode. draw() shows what is there,
// from the whole-image bitmap where a tile is missing, and queues the
// missing tiles; the viewer calls next_tile() after each completion message
// and draws the finished tile alone.
#pragma once

#include "decoding/decoder_entry_points.h"
#include "decoding/plugin_manager.h"
#include "decoding/source/tile_grid.h"
#include "decoding/transform/lossless_transform_operation.h"
#include "imaging/dib.h"
#include "imaging/resample.h"
#include "metadata/exif_tag_list.h"
#include "platform/file_system.h"
#include "platform/message_target.h"
#include "qelvio/p_mcp.h"

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace qelvio::decoding {

// Posted when a decode on the worker ends.
inline constexpr uint32_t kMessageDecodeDone = 2258;

// Request kinds; 0 and more are tile numbers.
inline constexpr int kRequestWholeImage = -1;
inline constexpr int kRequestThumbnail = -2;

// What is kept decoded.
enum ImageMode : int {
    kModeNothing = 0,
    kModeThumbnail = 1,
    kModeViewing = 2,
    kModeEditing = 3,
};

// Kinds of decoded data for release().
enum ReleaseKind : uint32_t {
    kReleaseTiles = 1,
    kReleaseWholeImage = 2,
    kReleaseThumbnail = 4,
    kReleaseAudio = 8,
    kReleaseTagList = 0x10,
    kReleaseEverything = 0xFFFF,
    kReleaseAllButThumbnail = 0xFFFB,
};

// Bits of changes().
enum ChangeBits : uint32_t {
    kChangedBitmap = 1,
    kChangedAudio = 2,
    kChangedTagList = 4,
};

// Largest thumbnail side.
inline constexpr int kThumbnailSide = 64;

// Memory estimates a whole-image decode may take, by mode.
struct ImageSourceLimits {
    uint32_t viewing = 768000;
    uint32_t editing = 104857600;
    uint64_t tiles = 2000000;  // all decoded tiles together
};

// A point on the drawing target.
struct DrawPoint {
    int x;
    int y;
};

class p_ImageSource {
public:
    explicit p_ImageSource(const p_irl& locator, ImageSourceLimits limits = {});
    ~p_ImageSource();
    p_ImageSource(const p_ImageSource&) = delete;
    p_ImageSource& operator=(const p_ImageSource&) = delete;

    // ---- facts (each reads the file once when not yet known) ----
    const p_irl& locator() const { return imagelocator; }
    // Follows a rename or move of the file.
    void set_locator(const p_irl& locator);
    // The stored thumbnail file to use instead of decoding one (may be empty).
    void set_thumbnail_locator(const p_irl& locator) { thumbnaillocator = locator; }
    const p_irl& thumbnail_locator() const { return thumbnaillocator; }
    // The node of the image file, or null.
    p_filenode* resolve_file() const;

    p_string format_name();
    const FormatEntry* format_entry();
    // Page size; in editing mode with a bitmap, the bitmap's size.
    imaging::DibSize size();
    int bits_per_pixel();
    imaging::DibSize whole_image_size() const;
    // The thumbnail's size, or the image size fitted into 64 x 64.
    imaging::DibSize thumbnail_size();
    bool undecodable() const { return hard_failure; }

    // ---- decoding ----
    // Keeps the decoded data a mode needs: 0 or -100 when no whole-image
    // bitmap could be decoded for modes 2 and 3. A decode still running on
    // the worker is waited for and kept first (a read-ahead is not started
    // again).
    int set_mode(int mode);
    // Starts decoding the whole image on the worker at the scale viewing
    // would choose, telling `window` when done; after finish_decode() a
    // later set_mode(kModeViewing) finds the bitmap ready. 0 when started,
    // already running, or when the bitmap is already there (no message
    // then); -13 while another decode runs, -14 once the image proved
    // undecodable, -3 when it cannot be opened, -100 without its facts.
    // Setting thumbnail mode stops it.
    int read_ahead(platform::MessageTarget* window);
    int mode() const { return currentmode; }
    // Starts a decode (kRequestWholeImage or kRequestThumbnail, scale in
    // thousandths). Without a window it runs here and its result is kept at
    // once; with a window it runs on the worker. -13 while another
    // decode runs, -14 once the image proved undecodable, -3 when the image
    // cannot be opened.
    int decode(int kind, int scale, platform::MessageTarget* window, int option = 0);
    // Keeps the result of a finished worker decode (after message 2258).
    void finish_decode();
    bool decode_running() const { return state.load() == kStateRunning; }
    // The status of the last decode (0 or a decoder status).
    int last_decode_status() const { return decodestatus; }

    // Ensures a current thumbnail: 0 when it exists, -13 while a decode
    // runs (a window is told when it ends), -100 when none can be made.
    int thumbnail(platform::MessageTarget* window = nullptr);
    // True when a thumbnail exists and the file has not changed since it was
    // made; a stale one is released.
    bool thumbnail_is_current();
    const imaging::Dib* thumbnail_bitmap() const { return thumbnailbitmap.get(); }
    // A copy of the thumbnail and the file time it was made at (null when
    // there is none). Safe on any thread.
    imaging::DibPtr copy_thumbnail(uint64_t* file_time) const;
    const imaging::Dib* whole_image() const { return wholebitmap.get(); }
    int whole_image_scale() const { return wholescale; }
    // Whether the thumbnail came from the stored thumbnail file.
    bool thumbnail_from_store() const { return thumbnailfromstore; }
    // The locator of a stored thumbnail file that could not be opened or
    // decoded (the thumbnail was then decoded from the image), or empty.
    // The thumbnail cache replaces that file at its next save. Safe on any
    // thread.
    std::u16string rejected_thumbnail_file() const;
    // Draws the thumbnail stretched into the rectangle.
    int draw_thumbnail(imaging::DrawingTarget& target, const imaging::DibRect& rectangle);

    // Frees decoded data by kind (ReleaseKind bits).
    void release(uint32_t kinds);

    // ---- zoomed drawing ----
    // The screen's bits per pixel (at least 16 is assumed): tiles with more
    // are kept in the screen's 16-bit format. Set once by the user interface.
    static void set_screen_bits_per_pixel(int bits);
    // Zoom in thousandths of full size (1000 = one image pixel per screen
    // pixel); set to 1000 whenever the image's facts are read.
    void set_zoom(int zoom);
    int zoom() const { return zoomlevel; }
    bool tiled() const { return tiling; }
    // The image's size at the zoom.
    imaging::DibSize displayed_size();
    // Where a tile lands on the target, for the destination origin of the
    // last full drawing; empty before the first tiled drawing.
    imaging::DibRect tile_position(DrawPoint origin, int number) const;
    // Draws `view` (full-size pixels, clipped to the image; null = all of
    // it) at the zoom with its top-left corner at `origin`. With
    // `finished_tile` (after its completion message) that tile's decode is
    // finished first, and when a tiled drawing came before only that tile is
    // drawn. A full tiled drawing empties the queue first unless
    // `keep_queue`, then queues the tiles still missing. -100 without a
    // whole-image bitmap.
    int draw(imaging::DrawingTarget& target, DrawPoint origin, const imaging::DibRect* view = nullptr,
             int finished_tile = -1, bool keep_queue = false);
    // Starts decoding the next queued tile on the worker, telling `window`
    // when done: 0 when started (or at once when not tiled), -100 while a
    // decode runs or when nothing is queued, -3 when the image cannot be
    // opened.
    int next_tile(platform::MessageTarget* window);
    // The grid (null until a tiled whole-image decode made it).
    const TileGrid* tile_grid() const { return tiles.get(); }
    bool has_region_index() const { return regionindex != nullptr; }

    // ---- edits ----
    // Replaces the whole-image bitmap with an edited one.
    void replace_whole_image(imaging::DibPtr edited);
    // Throws the edits away and decodes the file again; false when nothing
    // was edited or decoding failed.
    bool revert();
    // Rotates or mirrors the JPEG file without recompressing it (code 1, 2,
    // 5, 6 or 7): closes the image and releases everything decoded first,
    // since all of it describes the old content; on success tells `forget`
    // (the thumbnail cache) the file's locator. -100 on failure, the file
    // unchanged.
    int lossless_transform(int code, const ForgetCallback& forget,
                           ProgressWindow* progress = nullptr);

    // ---- metadata and audio ----
    // The tag list (read from the file on first use); null when the image
    // cannot be opened.
    metadata::ExifTagList* tag_list();
    bool has_description();
    bool has_audio();
    // The audio annotation as a WAV image (read on first use; 4-bit ADPCM is
    // turned into 16-bit PCM); null when there is none.
    const std::vector<uint8_t>* audio();
    // Replaces the audio in memory (empty: removes it).
    void set_audio(const uint8_t* bytes, std::size_t length);
    uint32_t changes();
    // Forgets the change flags after the changes were saved.
    void clear_changes();
    // Makes the next query read the file's facts again.
    void forget_facts() { page.valid = false; }

private:
    enum DecodeState : int { kStateIdle = 0, kStateRunning = 1, kStateFinished = 2, kStateFailed = -1 };

    bool open(bool prefer_thumbnail);
    void close();
    bool is_open() const { return decoder != nullptr; }
    void set_thumbnail(imaging::DibPtr bitmap, uint64_t file_time);
    bool ensure_facts();
    int start_decode(int kind, int scale, platform::MessageTarget* window, int option);
    void run_decode();
    void stop_worker();
    // Waits for a decode running on the worker and keeps its result.
    void wait_for_decode();
    // The largest whole-image scale (1000, 500, 250; 125 at least) whose
    // bitmap fits the memory limit of a mode.
    int fitting_scale(int mode) const;
    // Whether viewing draws this image in tiles.
    bool tiles_possible() const;
    static int keep_going(std::intptr_t user, int done, int total);
    void finish_tile(int number);
    bool keeps_file_open() const { return tiling && currentmode == kModeViewing; }
    void draw_tile(imaging::DrawingTarget& target, DrawPoint origin, int number);

    p_irl imagelocator;
    p_irl thumbnaillocator;
    p_string formatname;
    ImageSourceLimits limits;

    // Open state.
    p_filenode* node = nullptr;
    platform::MappedFile mapped;
    std::vector<uint8_t> buffer;
    bool is_mapped = false;
    p_string sourcename;
    ImageDataSource source{};
    DecoderPlugin* module = nullptr;       // the module whose decoder is open
    DecoderPlugin* last_module = nullptr;  // preferred the next time
    ImageDecoder* decoder = nullptr;
    bool open_is_thumbnail = false;

    // Facts.
    ImageInfo info{};
    const FormatEntry* entry = nullptr;
    bool hard_failure = false;
    uint64_t thumbnailtime = 0;

    // Decode state; the worker reads only the request and the open source.
    std::atomic<int> state{kStateIdle};
    std::thread worker;
    int requestkind = 0;
    platform::MessageTarget* requestwindow = nullptr;
    std::atomic<bool> cancel{false};
    DecodeRequest request{};
    DecodeResult result{};
    int decodestatus = 0;
    bool opened_for_decode = false;

    // The first page's record.
    struct Page {
        bool valid = false;
        PageInfo facts{};
        bool has_audio = false;
    } page;
    imaging::DibPtr wholebitmap;
    int wholescale = 0;
    imaging::DibPtr thumbnailbitmap;
    mutable std::mutex thumbnailmutex;  // guards thumbnailbitmap, thumbnailtime, rejectedthumbnail
    std::u16string rejectedthumbnail;
    // Forgets a stored thumbnail file that cannot be used, so that the
    // thumbnail comes from the image.
    void reject_thumbnail_file();
    bool thumbnailfromstore = false;
    bool edited = false;
    bool audioreplaced = false;
    std::unique_ptr<metadata::ExifTagList> tags;
    std::unique_ptr<std::vector<uint8_t>> audiobytes;
    int currentmode = kModeNothing;

    // Zoomed drawing.
    struct FreeBlock {
        void operator()(void* block) const { std::free(block); }
    };
    bool tiling = false;
    int zoomlevel = 1000;
    std::unique_ptr<TileGrid> tiles;
    std::unique_ptr<void, FreeBlock> regionindex;
    int firstdrawntile = -1;
    DrawPoint firsttileoffset{0, 0};  // the first drawn tile's position less the origin
};

}  // namespace qelvio::decoding
