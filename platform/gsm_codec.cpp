#include "platform/gsm_codec.h"

#include <gsm.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace qelvio::platform {
namespace {

void* make_state() {
    gsm state = gsm_create();
    if (state) {
        int wav49 = 1;
        gsm_option(state, GSM_OPT_WAV49, &wav49);
    }
    return state;
}

}  // namespace

GsmEncoder::GsmEncoder() : state_(make_state()) {}
GsmEncoder::~GsmEncoder() {
    if (state_) gsm_destroy(static_cast<gsm>(state_));
}

void GsmEncoder::encode(const int16_t* samples, uint8_t* block) {
    gsm_signal pcm[kGsmBlockSamples];
    std::copy(samples, samples + kGsmBlockSamples, pcm);
    // In WAV49 framing the first frame of a block takes 32 bytes (its last
    // half byte waits in the state), the second 33.
    gsm_byte out[kGsmBlockBytes + 1] = {};
    gsm_encode(static_cast<gsm>(state_), pcm, out);
    gsm_encode(static_cast<gsm>(state_), pcm + 160, out + 32);
    std::memcpy(block, out, kGsmBlockBytes);
}

GsmDecoder::GsmDecoder() : state_(make_state()) {}
GsmDecoder::~GsmDecoder() {
    if (state_) gsm_destroy(static_cast<gsm>(state_));
}

bool GsmDecoder::decode(const uint8_t* block, int16_t* samples) {
    // Read as 33 + 32 bytes: the opposite order of the encoder's.
    gsm_byte in[kGsmBlockBytes];
    std::memcpy(in, block, kGsmBlockBytes);
    gsm_signal pcm[kGsmBlockSamples];
    bool good = gsm_decode(static_cast<gsm>(state_), in, pcm) == 0 &&
                gsm_decode(static_cast<gsm>(state_), in + 33, pcm + 160) == 0;
    if (!good) std::fill(std::begin(pcm), std::end(pcm), gsm_signal{0});
    std::copy(std::begin(pcm), std::end(pcm), samples);
    return good;
}

}  // namespace qelvio::platform
