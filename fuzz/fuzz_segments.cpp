// Fuzzes the JPEG segment editor and the FlashPix audio reader over a file
// holding the input: parse, read every segment, collect the audio, and
// rewrite without committing.
#include "metadata/fpxr_audio_set.h"
#include "metadata/jpeg_segment_editor.h"
#include "fuzz/scratch_device.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static ScratchDevice device;
    p_filenode* file = device.file_with(data, size);
    if (!file) return 0;
    p_filestream stream(file);
    qelvio::metadata::JpegSegmentEditor editor(stream);
    if (editor.parse() < 0) return 0;
    std::vector<std::uint8_t> buffer;
    int n[256] = {};
    for (const qelvio::metadata::JpegSegment& s : editor.segments()) {
        int32_t length = editor.read_segment(s.marker, n[s.marker], nullptr, 0);
        if (length > 0 && (s.marker & 0xF0) == 0xE0) {
            buffer.resize(static_cast<std::size_t>(length));
            editor.read_segment(s.marker, n[s.marker], buffer.data(), static_cast<uint32_t>(length));
        }
        ++n[s.marker];
    }
    // The file's own note placed again, or a small new one (which brings a
    // contents list, inserted before any old audio segment).
    qelvio::metadata::FpxrAudioSet audio;
    if (audio.read(editor) > 0) {
        buffer.resize(audio.audio_bytes(nullptr));
        audio.audio_bytes(buffer.data());
    } else {
        audio.build(data, std::min<std::size_t>(size, 300));
    }
    editor.set_segment(0xE1, 0, 200);
    audio.place(editor);
    if (editor.rewrite() == 0) audio.write(editor);
    editor.finish(false);
    return 0;
}
