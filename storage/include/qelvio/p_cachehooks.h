// What the file tree tells the image cache when files change, so that cached
// images follow renames and disappear with deleted files. The default does
// nothing; the thumbnail cache installs its own through p_mcp.
#pragma once

#include "qelvio/p_irl.h"

class QELVIO_STORAGE_EXPORT p_cachehooks {
public:
    virtual ~p_cachehooks() = default;
    // Drops every entry whose locator is irl or lies under it.
    virtual void forget(const p_irl& irl) { (void)irl; }
    // Renames every entry under the prefix from to the prefix to.
    virtual void repath(const p_irl& from, const p_irl& to) {
        (void)from;
        (void)to;
    }
};
