// qelvio-cli audio: takes an image's spoken note out as a WAV file, puts one
// in, or removes it.
#include "app/cli/command.h"
#include "app/cli/image_session.h"
#include "app/cli/locate.h"

#include "metadata/fpxr_audio_set.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace qelvio::cli {

int run_audio(const Args& args) {
    constexpr const char* usage = "usage: qelvio-cli audio FILE (--extract OUT.wav | --embed IN.wav | --clear)\n";
    if (args.size() < 2 || (args[1] != "--clear" && args.size() != 3) || (args[1] == "--clear" && args.size() != 2) ||
        (args[1] != "--extract" && args[1] != "--embed" && args[1] != "--clear")) {
        std::fputs(usage, stderr);
        return 2;
    }
    ImageSession session;
    decoding::p_ImageSource* image = session.image(args[0], "audio");
    if (!image) return 1;
    const std::string& action = args[1];
    if (action == "--extract") {
        const std::vector<uint8_t>* audio = image->audio();
        if (!audio) {
            std::fprintf(stderr, "qelvio-cli audio: %s: the image has no audio\n", args[0].c_str());
            return 1;
        }
        std::ofstream out(args[2], std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(audio->data()), static_cast<std::streamsize>(audio->size()));
        out.close();
        if (!out) {
            std::remove(args[2].c_str());
            return report("audio", P_CANNOT_WRITE, args[2]);
        }
        return 0;
    }
    if (action == "--embed") {
        std::ifstream in(args[2], std::ios::binary);
        if (!in) return report("audio", P_NOT_FOUND, args[2]);
        std::vector<uint8_t> wav((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (wav.empty()) return report("audio", P_INVALID_PARAMETER, args[2]);
        // A note needing more FlashPix segments than a file can hold is
        // refused before anything is written.
        if (wav.size() > metadata::FpxrAudioSet::kMaxAudioLength) {
            std::fprintf(stderr, "qelvio-cli audio: %s: %s\n(%s)\n", args[0].c_str(), p_loadstring(35043).utf8().c_str(),
                         p_loadstring(35210).utf8().c_str());
            return 1;
        }
        image->set_audio(wav.data(), wav.size());
    } else {
        image->set_audio(nullptr, 0);
    }
    int status = session.save(*image);
    if (status < 0 && status != P_CANCELLED) {
        std::fprintf(stderr, "qelvio-cli audio: %s: %s\n(%s)\n", args[0].c_str(), p_loadstring(35043).utf8().c_str(),
                     p_statusmessage(status).utf8().c_str());
        return 1;
    }
    return status < 0 ? 1 : 0;
}

}  // namespace qelvio::cli
