// Reasons a decoder gives for refusing a file, as string-table numbers
// (ImageDecoder::failure_reason). The status code stays the one the decoder
// interface prescribes; the reason only makes the message precise.
#pragma once

namespace qelvio::decoding {

// "LZW-compressed TIFF is not supported."
inline constexpr int kReasonLzwTiff = 35200;
// "The image is larger than the file could describe; it was not decoded."
inline constexpr int kReasonImplausibleSize = 35201;
// "TIFF samples of this kind (floating-point or signed) are not supported."
inline constexpr int kReasonTiffSampleFormat = 35202;
// "This kind of BMP file (its header, bit depth or compression) is not supported."
inline constexpr int kReasonBmpKind = 35203;
// "The BMP file gives no valid image size."
inline constexpr int kReasonBmpSize = 35204;
// "This TIFF compression is not supported."
inline constexpr int kReasonTiffCompression = 35205;
// "The TIFF file's arrangement of samples is not supported."
inline constexpr int kReasonTiffLayout = 35206;

}  // namespace qelvio::decoding
