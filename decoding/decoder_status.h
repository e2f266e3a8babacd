// Status values of the decoder interface. Every decoder operation returns 0
// for success or one of these negative values; the numbers are shared with
// the storage status codes but carry the meanings below.
#pragma once

namespace qelvio::decoding {

enum DecoderStatus : int {
    kDecodeOk = 0,
    kDecodeFailed = -1,          // no more precise reason; module not initialized
    kDecodeNotOpened = -2,
    kDecodeNotSupported = -4,
    kDecodeTruncated = -5,       // header or data ends early
    kDecodeNoDecoder = -6,       // no decoder accepts the file
    kDecodeCorrupt = -7,         // not this decoder's format, or corrupt
    kDecodeNoMemory = -8,
    kDecodeNoSuchPage = -9,
    kDecodeCancelled = -11,      // the progress callback answered zero
    kDecodeNoMetadata = -12,
    kDecodeNoAudio = -13,
    kDecodeModuleNotLoaded = -14,
};

}  // namespace qelvio::decoding
