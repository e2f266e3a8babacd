#include "decoding/source/image_source.h"

#include "decoding/bitmap_output.h"
#include "decoding/plugin_manager.h"
#include "metadata/fpxr_audio_set.h"
#include "metadata/jpeg_segment_editor.h"
#include "metadata/wav_audio.h"
#include "imaging/resample.h"
#include "platform/debug_output.h"
#include "qelvio/p_fileops.h"
#include "qelvio/p_filestream.h"

#include <algorithm>
#include <new>

namespace qelvio::decoding {
namespace {

PluginManager& plugins() { return PluginManager::instance(); }

int ensure_everything(void* user, uint32_t, uint32_t* available) {
    if (available) *available = static_cast<const ImageDataSource*>(user)->size;
    return 1;
}

bool is_file_scheme(const p_irl& irl) {
    p_string scheme;
    irl.get(&scheme, nullptr, nullptr);
    return scheme.cmpi(u"file") == 0;
}

// Decoder statuses that say the file will never decode.
bool is_hard_failure(int status) {
    return status == kDecodeModuleNotLoaded || status == kDecodeCorrupt || status == kDecodeNoDecoder ||
           status == kDecodeTruncated || status == kDecodeNotSupported;
}

}  // namespace

p_ImageSource::p_ImageSource(const p_irl& locator, ImageSourceLimits memory_limits)
    : imagelocator(locator), limits(memory_limits) {}

p_ImageSource::~p_ImageSource() {
    stop_worker();
    close();
}

void p_ImageSource::set_locator(const p_irl& locator) { imagelocator = locator; }

p_filenode* p_ImageSource::resolve_file() const {
    p_mcp* registry = p_mcp::instance();
    p_filenode* found = nullptr;
    if (!registry || registry->openfile(imagelocator, &found) < 0) return nullptr;
    return found;
}

// ---- opening ----

bool p_ImageSource::open(bool prefer_thumbnail) {
    bool want_thumbnail = prefer_thumbnail && !thumbnaillocator.isempty();
    if (is_open()) return open_is_thumbnail == want_thumbnail;
    p_mcp* registry = p_mcp::instance();
    if (!registry) return false;
    p_filenode* found = nullptr;
    open_is_thumbnail = want_thumbnail;
    if (want_thumbnail && registry->openfile(thumbnaillocator, &found) < 0) {
        open_is_thumbnail = false;
        found = nullptr;
    }
    if (!found && registry->openfile(imagelocator, &found) < 0) return false;
    node = found;
    p_irl own;
    node->getirl(own);
    node->getpath(sourcename);

    if (is_file_scheme(own)) {
        auto view = platform::map_file(sourcename.view());
        if (!view) {
            node = nullptr;
            if (!open_is_thumbnail) return false;
            reject_thumbnail_file();
            return open(false);
        }
        mapped = *view;
        is_mapped = true;
        source.data = mapped.data;
        source.size = static_cast<uint32_t>(std::min<std::size_t>(mapped.size, UINT32_MAX));
    } else {
        int32_t size = node->getfilesize();
        uint32_t handle = 0;
        if (size < 0 || node->open(P_OPEN_READ, &handle) < 0) return false;
        try {
            buffer.resize(static_cast<std::size_t>(size));
        } catch (const std::bad_alloc&) {
            node->close();
            platform::debug_trace(u"p_ImageSource::Open(%s) -- no memory (%d)", sourcename, size);
            return false;
        }
        int32_t got = node->read(buffer.data(), static_cast<uint32_t>(size));
        node->close();
        if (got != size) {
            platform::debug_trace(u"p_ImageSource::Open(%s) -- only read %d of %d", sourcename,
                                  std::max(got, 0), size);
            buffer.clear();
            return false;
        }
        source.data = buffer.data();
        source.size = static_cast<uint32_t>(size);
    }
    source.flags = kSourceInMemory;
    source.name = sourcename.c_str();
    source.ensure = ensure_everything;
    source.user = &source;

    module = plugins().choose_decoder(source, last_module, &decoder);
    if (!module || !decoder) {
        module = nullptr;
        const bool was_thumbnail = open_is_thumbnail;
        close();
        if (!was_thumbnail) return false;
        // A damaged stored thumbnail: the image itself after all.
        reject_thumbnail_file();
        return open(false);
    }
    last_module = module;
    if (!open_is_thumbnail) {
        if (plugins().decoder_open(*module, decoder, &info) < 0 ||
            plugins().decoder_page_info(*module, decoder, 0, &page.facts) < 0) {
            close();
            return false;
        }
        entry = plugins().find_format(info.format);
        if (entry) formatname = entry->display_name;
        page.valid = true;
        set_zoom(1000);
        if (!audioreplaced) page.has_audio = (info.flags & kImageHasAudio) != 0;
    }
    return true;
}

void p_ImageSource::close() {
    if (decoder && module) plugins().close_decoder(*module, decoder);
    decoder = nullptr;
    module = nullptr;
    if (is_mapped) platform::unmap_file(mapped);
    is_mapped = false;
    mapped = {};
    buffer.clear();
    buffer.shrink_to_fit();
    source = {};
    node = nullptr;
    open_is_thumbnail = false;
}

bool p_ImageSource::ensure_facts() {
    if (page.valid) return true;
    if (is_open()) return false;  // open on the thumbnail file: facts come from the image
    bool opened = open(false);
    close();
    return opened && page.valid;
}

// ---- facts ----

p_string p_ImageSource::format_name() {
    ensure_facts();
    return formatname;
}

const FormatEntry* p_ImageSource::format_entry() {
    ensure_facts();
    return entry;
}

imaging::DibSize p_ImageSource::size() {
    if (currentmode == kModeEditing && wholebitmap)
        return {imaging::DibWidth(*wholebitmap), imaging::DibHeight(*wholebitmap)};
    if (!ensure_facts()) return {0, 0};
    return {static_cast<int>(page.facts.width), static_cast<int>(page.facts.height)};
}

int p_ImageSource::bits_per_pixel() {
    if (!ensure_facts()) return 0;
    return static_cast<int>(page.facts.bits_per_sample * page.facts.samples_per_pixel);
}

imaging::DibSize p_ImageSource::whole_image_size() const {
    if (!wholebitmap) return {0, 0};
    return {imaging::DibWidth(*wholebitmap), imaging::DibHeight(*wholebitmap)};
}

imaging::DibSize p_ImageSource::thumbnail_size() {
    if (thumbnailbitmap) return {imaging::DibWidth(*thumbnailbitmap), imaging::DibHeight(*thumbnailbitmap)};
    imaging::DibSize full = size();
    return imaging::FitWithin(kThumbnailSide, kThumbnailSide, full.width, full.height);
}

// ---- decoding ----

int p_ImageSource::keep_going(std::intptr_t user, int, int) {
    return reinterpret_cast<p_ImageSource*>(user)->cancel.load() ? 0 : 1;
}

int p_ImageSource::decode(int kind, int scale, platform::MessageTarget* window, int option) {
    int status = start_decode(kind, scale, window, option);
    if (status < 0 || state.load() == kStateRunning) return status;
    bool recorded = request.flags & kDecodeRecordIndex;
    const bool from_store = kind == kRequestThumbnail && open_is_thumbnail;
    finish_decode();
    if (decodestatus < 0 && from_store && !cancel.load()) {
        // finish_decode rejected the stored file: decode from the image.
        return decode(kind, scale, window, option);
    }
    if (decodestatus < 0 && recorded && !cancel.load()) {
        // The file may still decode without an index: shown whole, not in tiles.
        tiling = false;
        release(kReleaseTiles);
        return decode(kind, scale, window, option);
    }
    return decodestatus < 0 ? P_FAILED : P_OK;
}

int p_ImageSource::start_decode(int kind, int scale, platform::MessageTarget* window, int option) {
    if (state.load() == kStateRunning) return P_IMAGE_BUSY;
    if (hard_failure) return P_INVALID_FORMAT;
    if (worker.joinable()) worker.join();
    bool is_tile = kind >= 0;
    if (is_tile && !(tiles && kind < tiles->count())) return P_NOT_SUPPORTED;
    if (!is_tile && kind != kRequestThumbnail && kind != kRequestWholeImage) return P_NOT_SUPPORTED;

    opened_for_decode = false;
    if (kind == kRequestThumbnail) {
        // The stored thumbnail file is read instead of the image when there is one.
        if (is_open() && !thumbnaillocator.isempty() && !open_is_thumbnail) close();
        if (!is_open()) {
            if (!open(true)) {
                // Neither file opens: a missing image can never decode.
                hard_failure = true;
                return P_NOT_OPEN;
            }
            opened_for_decode = true;
        }
    } else if (!is_open()) {
        if (!open(false)) return P_NOT_OPEN;
        opened_for_decode = true;
    } else if (open_is_thumbnail) {
        close();
        if (!open(false)) return P_NOT_OPEN;
        opened_for_decode = true;
    }

    requestkind = kind;
    requestwindow = window;
    cancel = false;
    decodestatus = 0;
    result = {};
    request = {};
    request.page = 0;
    request.progress = keep_going;
    request.user = reinterpret_cast<std::intptr_t>(this);
    if (kind == kRequestWholeImage) {
        wholebitmap.reset();
        if (tiling && !tiles)
            tiles = std::make_unique<TileGrid>(static_cast<int>(page.facts.width),
                                               static_cast<int>(page.facts.height), limits.tiles);
        request.target_width = page.facts.width * static_cast<uint32_t>(scale) / 1000;
        request.target_height = page.facts.height * static_cast<uint32_t>(scale) / 1000;
        if (tiling && !regionindex && option == 0) request.flags = kDecodeRecordIndex;
    } else if (is_tile) {
        imaging::DibRect area = tiles->source_rect(kind);
        request.flags = kDecodeRegion;
        request.source[0] = area.left;
        request.source[1] = area.top;
        request.source[2] = area.right;
        request.source[3] = area.bottom;
        request.target_width = static_cast<uint32_t>((area.right - area.left) * scale / 1000);
        request.target_height = static_cast<uint32_t>((area.bottom - area.top) * scale / 1000);
        request.region_index = regionindex.get();
    } else {
        if (!window) set_thumbnail(nullptr, 0);
        request.target_width = kThumbnailSide;
        request.target_height = kThumbnailSide;
    }

    if (window) {
        state = kStateRunning;
        try {
            worker = std::thread([this] { run_decode(); });
        } catch (const std::system_error&) {
            state = kStateIdle;
            if (opened_for_decode) close();
            return P_FAILED;
        }
        return P_OK;
    }
    state = kStateRunning;
    run_decode();
    return P_OK;
}

void p_ImageSource::run_decode() {
    int status = plugins().decoder_page_decode(*module, decoder, request, result);
    decodestatus = status;
    bool cancelled = cancel.load();
    platform::MessageTarget* window = requestwindow;
    int kind = requestkind;
    state = status < 0 ? kStateFailed : kStateFinished;
    if (window && !cancelled) window->post(kMessageDecodeDone, reinterpret_cast<std::intptr_t>(this), kind);
}

void p_ImageSource::finish_decode() {
    int current = state.load();
    if (current != kStateFinished && current != kStateFailed) return;
    if (worker.joinable()) worker.join();
    if (current == kStateFailed) {
        bool recorded = request.flags & kDecodeRecordIndex;  // decode() tries again without
        if (requestkind == kRequestThumbnail && open_is_thumbnail) {
            // The stored thumbnail file is damaged, not the image: the next
            // thumbnail decode reads the image.
            if (!cancel.load()) reject_thumbnail_file();
        } else if (requestkind < 0 && !recorded && is_hard_failure(decodestatus)) {
            hard_failure = true;
        }
        release_decode_result(result);
    } else if (requestkind >= 0) {
        finish_tile(requestkind);
    } else if (requestkind == kRequestWholeImage) {
        if (result.region_index) regionindex.reset(result.region_index);
        result.region_index = nullptr;
        imaging::DibPtr dib = take_decode_result(result);
        if (dib && page.facts.width > 0) {
            wholescale = static_cast<int>(static_cast<int64_t>(imaging::DibWidth(*dib)) * 1000 /
                                          static_cast<int64_t>(page.facts.width));
            wholebitmap = std::move(dib);
        }
    } else {
        imaging::DibPtr dib = take_decode_result(result);
        if (dib && (imaging::DibWidth(*dib) > kThumbnailSide || imaging::DibHeight(*dib) > kThumbnailSide)) {
            imaging::DibSize fit = imaging::FitWithin(kThumbnailSide, kThumbnailSide, imaging::DibWidth(*dib),
                                                      imaging::DibHeight(*dib));
            dib = imaging::DibScale(*dib, std::max(fit.width, 1), std::max(fit.height, 1),
                                    imaging::AreaAverageSharpen);
        }
        if (dib) {
            uint64_t time = 0;
            if (p_filenode* file = resolve_file()) file->getfiletime(&time);
            set_thumbnail(std::move(dib), time);
            thumbnailfromstore = open_is_thumbnail;
        }
    }
    result = {};
    state = kStateIdle;
    if (opened_for_decode && !keeps_file_open()) close();
    opened_for_decode = false;
}

void p_ImageSource::wait_for_decode() {
    if (state.load() == kStateIdle) return;
    if (worker.joinable()) worker.join();
    finish_decode();
}

void p_ImageSource::stop_worker() {
    if (!worker.joinable()) return;
    cancel = true;
    worker.join();
    release_decode_result(result);
    result = {};
    state = kStateIdle;
    if (opened_for_decode) close();
    opened_for_decode = false;
}

int p_ImageSource::thumbnail(platform::MessageTarget* window) {
    if (state.load() == kStateRunning) return P_IMAGE_BUSY;
    if (state.load() != kStateIdle) finish_decode();
    if (thumbnail_is_current()) return P_OK;
    int status = decode(kRequestThumbnail, 0, window);
    if (status < 0) return status == P_IMAGE_BUSY ? status : P_FAILED;
    if (state.load() == kStateRunning) return P_IMAGE_BUSY;
    return thumbnailbitmap ? P_OK : P_FAILED;
}

bool p_ImageSource::thumbnail_is_current() {
    if (!thumbnailbitmap) return false;
    uint64_t now = 0;
    p_filenode* file = resolve_file();
    if (file && file->getfiletime(&now) >= 0 && now == thumbnailtime) return true;
    set_thumbnail(nullptr, 0);
    return false;
}

void p_ImageSource::set_thumbnail(imaging::DibPtr bitmap, uint64_t file_time) {
    std::lock_guard lock(thumbnailmutex);
    thumbnailbitmap = std::move(bitmap);
    thumbnailtime = file_time;
}

void p_ImageSource::reject_thumbnail_file() {
    platform::debug_trace(u"p_ImageSource: stored thumbnail %s unusable", thumbnaillocator);
    std::lock_guard lock(thumbnailmutex);
    rejectedthumbnail = std::u16string(thumbnaillocator.view());
    thumbnaillocator = p_irl();
}

std::u16string p_ImageSource::rejected_thumbnail_file() const {
    std::lock_guard lock(thumbnailmutex);
    return rejectedthumbnail;
}

imaging::DibPtr p_ImageSource::copy_thumbnail(uint64_t* file_time) const {
    std::lock_guard lock(thumbnailmutex);
    if (file_time) *file_time = thumbnailtime;
    return thumbnailbitmap ? imaging::DibCopy(*thumbnailbitmap) : nullptr;
}

int p_ImageSource::draw_thumbnail(imaging::DrawingTarget& target, const imaging::DibRect& rectangle) {
    if (thumbnail() < 0 || !thumbnailbitmap) return 0;
    return imaging::DibDraw(*thumbnailbitmap, target, rectangle);
}

void p_ImageSource::release(uint32_t kinds) {
    if (kinds & (kReleaseTiles | kReleaseWholeImage)) stop_worker();
    if (kinds & kReleaseTiles) {
        tiles.reset();
        regionindex.reset();
        firstdrawntile = -1;
    }
    if (kinds & kReleaseWholeImage) {
        wholebitmap.reset();
        wholescale = 0;
        edited = false;
    }
    if (kinds & kReleaseThumbnail) set_thumbnail(nullptr, 0);
    if (kinds & kReleaseAudio) {
        audiobytes.reset();
        audioreplaced = false;
    }
    if (kinds & kReleaseTagList) tags.reset();
}

int p_ImageSource::fitting_scale(int mode) const {
    const uint64_t limit = mode == kModeViewing ? limits.viewing : limits.editing;
    for (int scale : {1000, 500, 250}) {
        uint64_t w = static_cast<uint64_t>(scale) * page.facts.width / 1000;
        uint64_t h = static_cast<uint64_t>(scale) * page.facts.height / 1000;
        if (w * h * page.facts.bits_per_sample * page.facts.samples_per_pixel / 8 <= limit) return scale;
    }
    return 125;
}

bool p_ImageSource::tiles_possible() const {
    // Tiles need a format that decodes regions and a baseline file.
    return entry && (entry->flags & kFormatRegionDecoding) && (info.flags & kImageBaseline);
}

int p_ImageSource::read_ahead(platform::MessageTarget* window) {
    if (state.load() != kStateIdle) finish_decode();
    if (state.load() == kStateRunning) return requestkind == kRequestWholeImage ? P_OK : P_IMAGE_BUSY;
    if (hard_failure) return P_INVALID_FORMAT;
    if (!ensure_facts()) return P_FAILED;
    const int scale = fitting_scale(kModeViewing);
    if (wholebitmap && wholescale >= scale) return P_OK;
    // As viewing decodes it: with the region index when tiles will be drawn.
    tiling = tiles_possible() && scale < 1000;
    return start_decode(kRequestWholeImage, scale, window, 0);
}

int p_ImageSource::set_mode(int new_mode) {
    if (new_mode != kModeViewing && tiles) tiles->clear_queue();
    if (new_mode == kModeNothing || new_mode == kModeThumbnail) {
        stop_worker();
        close();
        release(new_mode == kModeNothing ? kReleaseEverything : kReleaseAllButThumbnail);
        currentmode = new_mode;
        return P_OK;
    }
    if (new_mode != kModeViewing && new_mode != kModeEditing) return P_FAILED;
    wait_for_decode();
    if (!ensure_facts()) return P_FAILED;
    bool was_editing = currentmode == kModeEditing;
    currentmode = new_mode;
    if (new_mode == kModeViewing) {
        tiling = tiles_possible();
    } else {
        release(kReleaseTiles);
        tiling = false;
    }
    if (!(wholebitmap && wholescale >= 1000)) {
        const int largest = fitting_scale(new_mode);
        for (int scale : {1000, 500, 250, 125}) {
            if (scale > largest) continue;
            if (wholebitmap && wholescale >= scale && !(was_editing && new_mode == kModeViewing)) continue;
            release(kReleaseWholeImage);
            if (decode(kRequestWholeImage, scale, nullptr) == P_OK && wholebitmap) break;
            if (hard_failure) break;
        }
    }
    if (new_mode == kModeEditing) {
        close();
        edited = false;
        wholescale = 1000;  // from now on the bitmap is the image being edited
    } else if (wholescale >= 1000) {
        tiling = false;  // the whole image is already as sharp as any tile
        release(kReleaseTiles);
    }
    return wholebitmap ? P_OK : P_FAILED;
}

// ---- edits ----

void p_ImageSource::replace_whole_image(imaging::DibPtr edited_bitmap) {
    if (!edited_bitmap) return;
    wholebitmap = std::move(edited_bitmap);
    edited = true;
}

bool p_ImageSource::revert() {
    if (!edited) return false;
    release(kReleaseWholeImage);
    currentmode = kModeNothing;
    return set_mode(kModeEditing) == P_OK;
}

int p_ImageSource::lossless_transform(int code, const ForgetCallback& forget, ProgressWindow* progress) {
    stop_worker();
    close();
    release(kReleaseEverything);
    page.valid = false;  // the size changes with a quarter turn
    p_filenode* file = resolve_file();
    if (!file) return P_FAILED;
    return LosslessTransformOperation(file, code, forget, progress);
}

// ---- metadata and audio ----

metadata::ExifTagList* p_ImageSource::tag_list() {
    if (tags) return tags.get();
    bool opened_here = false;
    if (!is_open() || open_is_thumbnail) {
        if (is_open()) close();
        if (!open(false)) return nullptr;
        opened_here = true;
    }
    auto list = std::make_unique<metadata::ExifTagList>();
    metadata::ExifTagList* found = nullptr;
    if (plugins().decoder_get_metadata(*module, decoder, 0, &found) >= 0 && found) {
        list->merge(*found);
        plugins().free_metadata(*module, found);
    }
    list->set_modified(false);
    tags = std::move(list);
    if (opened_here) close();
    return tags.get();
}

bool p_ImageSource::has_description() {
    metadata::ExifTagList* list = tag_list();
    return list && list->find(270, metadata::kExifGroupPrimary);
}

bool p_ImageSource::has_audio() {
    ensure_facts();
    return page.has_audio;
}

const std::vector<uint8_t>* p_ImageSource::audio() {
    if (audiobytes || audioreplaced) return audiobytes && !audiobytes->empty() ? audiobytes.get() : nullptr;
    if (!has_audio()) return nullptr;
    p_filenode* file = resolve_file();
    if (!file) return nullptr;
    std::vector<uint8_t> wav;
    {
        p_filestream stream(file);
        metadata::JpegSegmentEditor editor(stream);
        metadata::FpxrAudioSet set;
        if (editor.parse() < 0 || set.read(editor) <= 0) return nullptr;
        wav.resize(set.audio_bytes(nullptr));
        set.audio_bytes(wav.data());
    }
    // 4-bit ADPCM is turned into 16-bit PCM, which every player plays.
    metadata::WavFormat format;
    if (metadata::read_wav_format(wav.data(), wav.size(), format) == 0 && format.bits_per_sample == 4) {
        p_string folder = p_temporaryfolder();
        if (auto temporary = platform::create_unique_file(folder.view(), u"olm")) {
            if (metadata::convert_adpcm(wav.data(), wav.size(), *temporary) == 0) {
                if (auto size = platform::file_size(*temporary)) {
                    std::vector<uint8_t> pcm(static_cast<std::size_t>(*size));
                    uint32_t h = platform::open_file(*temporary, platform::OpenMode::read_existing);
                    if (h && platform::read_file(h, pcm.data(), static_cast<uint32_t>(pcm.size())) ==
                                 static_cast<int64_t>(pcm.size()))
                        wav = std::move(pcm);
                    if (h) platform::close_file(h);
                }
            }
            platform::delete_file(*temporary);
        }
    }
    audiobytes = std::make_unique<std::vector<uint8_t>>(std::move(wav));
    return audiobytes.get();
}

void p_ImageSource::set_audio(const uint8_t* bytes, std::size_t length) {
    audiobytes = std::make_unique<std::vector<uint8_t>>();
    if (bytes && length) audiobytes->assign(bytes, bytes + length);
    page.has_audio = !audiobytes->empty();
    audioreplaced = true;
}

uint32_t p_ImageSource::changes() {
    uint32_t bits = 0;
    if (edited) bits |= kChangedBitmap;
    if (audioreplaced) bits |= kChangedAudio;
    if (tags && tags->modified()) bits |= kChangedTagList;
    return bits;
}

void p_ImageSource::clear_changes() {
    edited = false;
    audioreplaced = false;
    if (tags) tags->set_modified(false);
}

}  // namespace qelvio::decoding
