// qelvio-cli thumbs: makes the thumbnails of a folder's images as the image
// list does, stores them in the thumbnail folder, and says how long it took.
#include "app/cli/command.h"
#include "app/cli/image_session.h"
#include "app/cli/locate.h"

#include "decoding/plugin_manager.h"

#include <chrono>
#include <cstdio>

namespace qelvio::cli {

int run_thumbs(const Args& args) {
    if (args.size() != 1) {
        std::fputs("usage: qelvio-cli thumbs FOLDER\n", stderr);
        return 2;
    }
    auto start = std::chrono::steady_clock::now();
    ImageSession session;
    p_filenode* folder = locate(session.tree(), args[0], "thumbs");
    if (!folder) return 1;
    if (!folder->isdirectory()) return report("thumbs", P_INVALID_LOCATION, args[0]);
    std::u16string extensions;
    decoding::PluginManager::instance().list_extensions(extensions);
    int32_t status = folder->settrack(P_TRACK_FILES, extensions.c_str(), true);
    if (status < 0) return report("thumbs", status, args[0]);

    int made = 0, from_store = 0, failed = 0;
    for (p_filenode* child : folder->getchildren()) {
        if (child->isdirectory()) continue;
        p_irl locator;
        child->getirl(locator);
        decoding::p_ImageSource* image = session.cache().getimage(locator);
        if (image->thumbnail() == P_OK) {
            ++made;
            from_store += image->thumbnail_from_store();
        } else {
            ++failed;
            std::fprintf(stderr, "qelvio-cli thumbs: %s: no thumbnail\n", child->getname().utf8().c_str());
        }
    }
    session.cache().save(true, false);
    auto elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start);
    std::printf("%d thumbnails, %d from stored thumbnails, %d failed, %.1f ms\n", made, from_store, failed,
                elapsed.count());
    return failed ? 1 : 0;
}

}  // namespace qelvio::cli
