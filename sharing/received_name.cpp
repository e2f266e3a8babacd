#include "sharing/received_name.h"

#include "qelvio/p_filetree.h"

#include <string>

namespace qelvio::sharing {

bool is_plain_file_name(std::u16string_view name) {
    if (name.empty() || name.front() == u'.' || name.find(u"..") != std::u16string_view::npos) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        char16_t c = name[i];
        if (c < 0x20 || c == 0x7F || c == u'/' || c == u'\\') return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= name.size() || name[i + 1] < 0xDC00 || name[i + 1] > 0xDFFF) return false;
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
    }
    std::u16string terminated(name);
    return p_isvalidname(terminated.c_str());
}

}  // namespace qelvio::sharing
