// How the image source finds the decoder module for a file and the format
// row of a format code. Until the plug-in manager owns the modules, the
// built-in module is the only one asked.
#pragma once

#include "decoding/decoder_entry_points.h"

namespace qelvio::decoding {

// Opens a decoder over the source, asking the preferred module first when
// one is given. 0 with the module and the decoder, or kDecodeNoDecoder.
int choose_decoder(const ImageDataSource& source, const DecoderEntryPoints* preferred,
                   const DecoderEntryPoints** module, ImageDecoder** decoder);

// The format row of a format code, or null.
const FormatEntry* find_format(FormatId format);

}  // namespace qelvio::decoding
