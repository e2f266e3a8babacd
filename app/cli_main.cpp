// qelvio-cli: the command-line face of the program's core.
#include "app/cli/command.h"
#include "platform/device_root.h"

#include <cstdio>
#include <cstring>
#include <iterator>

namespace qelvio::cli {
int run_ls(const Args& args);
int run_cp(const Args& args);
int run_settings(const Args& args);
int run_associate(const Args& args);
int run_open(const Args& args);
int run_transform(const Args& args);
int run_info(const Args& args);
int run_decode(const Args& args);
int run_region(const Args& args);
int run_thumbs(const Args& args);
int run_annotate(const Args& args);
int run_audio(const Args& args);
int run_render(const Args& args);
int run_beam(const Args& args);
int run_mail(const Args& args);
int run_find(const Args& args);
int run_rename(const Args& args);
}  // namespace qelvio::cli

namespace {

using qelvio::cli::Command;

// One line per command; the functions live in app/cli/<name>.cpp.
const Command commands[] = {
    {"ls", "ls [--ext \"JPG GIF\"] PATH-OR-IRL", qelvio::cli::run_ls},
    {"cp", "cp [--move] [--name NEW] [--overwrite ask|yes|no] SOURCE... FOLDER", qelvio::cli::run_cp},
    {"rename", "rename --name NAME [--digits 1-5] [--overwrite ask|yes|no] FILE...", qelvio::cli::run_rename},
    {"settings", "settings list | get SECTION NAME | set SECTION NAME VALUE", qelvio::cli::run_settings},
    {"associate", "associate [--program PATH]", qelvio::cli::run_associate},
    {"open", "open PATH", qelvio::cli::run_open},
    {"transform", "transform (--code 1|2|5|6|7 | --rotate 90|180|270 | --flip h|v) FILE...",
     qelvio::cli::run_transform},
    {"info", "info FILE...", qelvio::cli::run_info},
    {"decode", "decode FILE [--size WxH] [--page N] --out OUT.bmp", qelvio::cli::run_decode},
    {"region", "region FILE --rect L,T,R,B [--scale S] --out OUT.bmp", qelvio::cli::run_region},
    {"thumbs", "thumbs FOLDER", qelvio::cli::run_thumbs},
    {"annotate", "annotate FILE [--description T] [--artist T] [--copyright T] [--convert keep|replace]",
     qelvio::cli::run_annotate},
    {"audio", "audio FILE (--extract OUT.wav | --embed IN.wav | --clear | --record SECONDS | --play) | --record SECONDS --out OUT.wav",
     qelvio::cli::run_audio},
    {"render", "render FILE --zoom Z --origin X,Y --size WxH --out OUT.bmp", qelvio::cli::run_render},
    {"beam", "beam send FILE... [--peer HOST] | receive [--folder DIR] [--once] [--overwrite ask|yes|no]",
     qelvio::cli::run_beam},
    {"mail", "mail --to RECIPIENTS [--subject T] [--text T] [--reduce 0-5] [--answer ask|yes|no|cancel] FILE...",
     qelvio::cli::run_mail},
    {"find", "find FOLDER [--name T] [--words W] [--size '>N'|'<N'] [--subfolders | --select-all]",
     qelvio::cli::run_find},
};

void usage(std::FILE* out) {
    std::fputs("usage: qelvio-cli [--device-root DIR] COMMAND [ARGS...]\n", out);
    for (const Command& c : commands) std::fprintf(out, "  qelvio-cli %s\n", c.usage);
}

}  // namespace

int main(int argc, char** argv) {
    // --device-root DIR confines the device to a folder (as QELVIO_DEVICE_ROOT does).
    while (argc >= 3 && !std::strcmp(argv[1], "--device-root")) {
        qelvio::platform::set_device_root(argv[2]);
        argv[2] = argv[0];
        argv += 2;
        argc -= 2;
    }
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        usage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    for (const Command& c : commands) {
        if (!std::strcmp(argv[1], c.name)) return c.run(qelvio::cli::Args(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "qelvio-cli: unknown command '%s'\n", argv[1]);
    usage(stderr);
    return 2;
}
