#include "decoding/transform/jpeg_lossless_transform.h"

#include "decoding/memory_budget.h"
#include "decoding/refusal.h"
#include "decoding/transform/jpeg_stream_io.h"
#include "decoding/transform/transform_routines.h"
#include "platform/text.h"
#include "qelvio/p_filestream.h"
#include "qelvio/p_mcp.h"
#include "resources/string_table.h"

#include <algorithm>
#include <csetjmp>
#include <memory>

#include <jerror.h>

namespace qelvio::decoding {
namespace {

// The library ends the program on an error unless told otherwise: this
// handler jumps back to the routine that drives the library instead, which
// then abandons the whole transform. Warnings that mean lost or damaged
// compressed data are remembered, because transforming such a file would
// write the damage into the file for good.
struct LibraryErrors {
    jpeg_error_mgr pub;  // first member: the library hands back its address
    std::jmp_buf jump;
    bool data_damaged = false;
    char message[JMSG_LENGTH_MAX] = {};
};

LibraryErrors& errors_of(j_common_ptr cinfo) { return *reinterpret_cast<LibraryErrors*>(cinfo->err); }

[[noreturn]] void error_exit(j_common_ptr cinfo) {
    LibraryErrors& e = errors_of(cinfo);
    (*cinfo->err->format_message)(cinfo, e.message);
    std::longjmp(e.jump, 1);
}

bool means_damaged_data(int code) {
    switch (code) {
    case JWRN_ARITH_BAD_CODE:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_JPEG_EOF:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
        return true;
    default:
        return false;
    }
}

void emit_message(j_common_ptr cinfo, int level) {
    if (level >= 0) return;  // trace messages
    LibraryErrors& e = errors_of(cinfo);
    cinfo->err->num_warnings++;
    if (means_damaged_data(cinfo->err->msg_code) && !e.data_damaged) {
        e.data_damaged = true;
        (*cinfo->err->format_message)(cinfo, e.message);
    }
}

void output_message(j_common_ptr) {}

// Bytes of the coefficient arrays of the whole image as the header claims
// it (64 two-byte coefficients a block, every component).
std::uint64_t coefficient_bytes(const jpeg_decompress_struct& source) {
    std::uint64_t bytes = 0;
    for (int ci = 0; ci < source.num_components; ++ci) {
        const jpeg_component_info& c = source.comp_info[ci];
        bytes += std::uint64_t{c.width_in_blocks} * c.height_in_blocks * sizeof(JBLOCK);
    }
    return bytes;
}

// A UTF-16 text of the string table as the ASCII message of a result.
void copy_text(char* out, std::size_t size, const char16_t* text) {
    std::size_t i = 0;
    for (; text && text[i] && i + 1 < size; ++i) out[i] = text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    out[i] = 0;
}

// Steps the progress window: the reading passes fill the first half of the
// bar, the writing passes the second.
struct ProgressMonitor {
    jpeg_progress_mgr pub;  // first member
    ProgressWindow* window = nullptr;
    int base = 0;         // 0 while reading, 50 while writing
    int* shown = nullptr;  // the position last shown, shared by both monitors
};

void monitor_progress(j_common_ptr cinfo) {
    auto& m = *reinterpret_cast<ProgressMonitor*>(cinfo->progress);
    const jpeg_progress_mgr& p = m.pub;
    if (!m.window || p.total_passes <= 0) return;
    double pass = p.pass_limit > 0 ? static_cast<double>(p.pass_counter) / static_cast<double>(p.pass_limit) : 0.0;
    int position = m.base + static_cast<int>(50.0 * (p.completed_passes + pass) / p.total_passes);
    position = std::clamp(position, 0, 100);
    if (position != *m.shown) {
        *m.shown = position;
        m.window->step(position);
    }
}

// Everything the library works on, in one place that outlives the jump back.
struct Job {
    jpeg_decompress_struct source;
    jpeg_compress_struct destination;
    bool source_made = false;
    bool destination_made = false;
    LibraryErrors errors;
    ProgressMonitor reading;
    ProgressMonitor writing;
    int shown = -1;
    StreamSource input;
    StreamDestination output;
    TransformPlan plan;
    bool window_open = false;
};

// Runs the library's transformation sequence from the creation of its
// objects to the finished temporary file. Returns 0 or a failure status.
// The library's error exit jumps back into this frame, so nothing here may
// own a resource that needs a destructor: all of it lives in job, stream and
// the caller.
int32_t run_library(Job& job, int code, p_filestream& stream, ProgressWindow* progress,
                    const char16_t* title) {
    if (setjmp(job.errors.jump)) {
        if (job.output.write_status < 0) return job.output.write_status;
        return P_INVALID_FORMAT;
    }
    job.source.err = jpeg_std_error(&job.errors.pub);
    job.errors.pub.error_exit = error_exit;
    job.errors.pub.emit_message = emit_message;
    job.errors.pub.output_message = output_message;
    job.destination.err = &job.errors.pub;
    jpeg_create_decompress(&job.source);
    job.source_made = true;
    // The library's own allocations stay within what the file can justify.
    job.source.mem->max_memory_to_use = static_cast<long>(memory_budget(static_cast<std::uint64_t>(std::max(stream.size(), 0))));
    jpeg_create_compress(&job.destination);
    job.destination_made = true;

    if (stream.open(1) < 0) return P_CANNOT_CREATE;  // the "OLM" temporary file

    job.reading.pub.progress_monitor = monitor_progress;
    job.reading.window = progress;
    job.reading.base = 0;
    job.reading.shown = &job.shown;
    job.writing = job.reading;
    job.writing.base = 50;
    job.source.progress = &job.reading.pub;
    job.destination.progress = &job.writing.pub;
    if (stream.open(0) < 0) return P_CANNOT_ACCESS;
    install_stream_source(&job.source, job.input, stream, std::max(stream.size(), 0));

    if (progress) {
        progress->create(title, 0, 100);
        job.window_open = true;
    }

    // Copy option "all": every comment and application segment, whole.
    jpeg_save_markers(&job.source, JPEG_COM, 0xFFFF);
    for (int m = 0; m < 16; ++m) jpeg_save_markers(&job.source, JPEG_APP0 + m, 0xFFFF);
    jpeg_read_header(&job.source, TRUE);
    // The coefficients of the whole image are held twice (read and
    // rearranged): refuse a claimed size the file's bytes cannot justify,
    // before the library allocates for it.
    const std::uint64_t input_bytes = static_cast<std::uint64_t>(std::max(stream.size(), 0));
    if (!plausible_bitmap_size(coefficient_bytes(job.source) * 2, input_bytes)) {
        copy_text(job.errors.message, sizeof job.errors.message, resources::load_string(kReasonImplausibleSize));
        return P_INVALID_FORMAT;
    }

    job.plan = plan_transform(&job.source, code);
    request_workspace(&job.source, job.plan);
    jvirt_barray_ptr* source_arrays = jpeg_read_coefficients(&job.source);
    if (job.input.ended_early || job.errors.data_damaged) {
        if (!job.errors.data_damaged) std::snprintf(job.errors.message, sizeof job.errors.message, "%s",
                                                    "Premature end of JPEG file");
        return P_INVALID_FORMAT;
    }
    jpeg_copy_critical_parameters(&job.source, &job.destination);
    adjust_parameters(&job.destination, job.plan);
    install_stream_destination(&job.destination, job.output, stream);
    jpeg_write_coefficients(&job.destination, output_coefficients(job.plan, source_arrays));
    copy_markers(&job.source, &job.destination);
    execute_transform(&job.source, &job.destination, source_arrays, job.plan);
    jpeg_finish_compress(&job.destination);
    jpeg_destroy_compress(&job.destination);
    job.destination_made = false;
    jpeg_finish_decompress(&job.source);
    jpeg_destroy_decompress(&job.source);
    job.source_made = false;
    return P_OK;
}

}  // namespace

TransformResult transform_jpeg_file(p_filenode* file, int code, ProgressWindow* progress) {
    TransformResult result;
    if (!is_transform_code(code)) {
        result.status = P_INVALID_PARAMETER;
        return result;
    }
    if (!file || file->isdirectory()) {
        result.status = P_INVALID_LOCATION;
        return result;
    }
    uint32_t attributes = 0;
    if (file->getfileattributes(&attributes) >= 0 && (attributes & P_ATTRIBUTE_READONLY)) {
        result.status = P_READ_ONLY;
        return result;
    }
    auto job = std::make_unique<Job>();
    p_string title;
    title.format(u"Transforming '%s'...", file->getname().c_str());
    p_filestream stream(file);

    int32_t status = run_library(*job, code, stream, progress, title.c_str());
    if (job->destination_made) jpeg_destroy_compress(&job->destination);
    if (job->source_made) jpeg_destroy_decompress(&job->source);
    stream.close(0);
    if (status == P_OK) {
        // Replaces the file's content; on failure the temporary file is gone
        // and the file is as it was.
        if (stream.close(1, true) < 0) {
            int32_t platform = p_lasterrorstatus();
            status = platform < 0 ? platform : P_CANNOT_WRITE;
        }
    } else {
        stream.close(1, false);  // deletes the temporary file
        result.detail = job->errors.message;
    }
    if (job->window_open) progress->close();
    result.status = status;
    if (status == P_OK) {
        result.width = job->plan.geometry.width;
        result.height = job->plan.geometry.height;
    }
    return result;
}

int JpegLosslessTransform(p_filenode* file, int code, ProgressWindow* progress) {
    return transform_jpeg_file(file, code, progress).status == P_OK ? 1 : 0;
}

int JpegLosslessTransform(const char16_t* irl, int code, ProgressWindow* progress) {
    p_mcp* registry = p_mcp::instance();
    if (!registry || !irl) return 0;
    p_filenode* node = nullptr;
    if (registry->openfile(irl, &node) < 0 || !node) return 0;
    int done = JpegLosslessTransform(node, code, progress);
    registry->close(node->gettree());
    return done;
}

}  // namespace qelvio::decoding
