#include "qelvio/p_status.h"

#include "platform/file_system.h"
#include "resources/string_table.h"

p_string p_loadstring(int id) { return p_string(qelvio::resources::load_string(id)); }

p_string p_statusmessage(int32_t code) {
    const char16_t* text = qelvio::resources::load_string(62000 - code);
    return p_string(text ? text : qelvio::resources::load_string(62000 - P_FAILED));
}

int32_t p_statusfromerror(uint32_t platform_error) {
    using namespace qelvio::platform;
    switch (platform_error) {
        case error_file_not_found: return P_NOT_FOUND;
        case error_access_denied: return P_READ_ONLY;
        case error_file_exists:
        case error_already_exists: return P_ALREADY_EXISTS;
        case error_disk_full: return P_DISK_FULL;
        case error_invalid_name: return P_INVALID_NAME;
        case error_dir_not_empty: return P_FOLDER_NOT_EMPTY;
        default: return P_FAILED;
    }
}

int32_t p_lasterrorstatus() { return p_statusfromerror(qelvio::platform::last_error()); }

void p_showstatus(p_messagesink& sink, int32_t code) {
    if (code == P_CANCELLED) return;
    sink.showmessage(p_statusmessage(code));
}

void p_showstatus(p_messagesink& sink, int message_id, int32_t code) {
    p_showstatus(sink, p_loadstring(message_id).c_str(), code);
}

void p_showstatus(p_messagesink& sink, const char16_t* text, int32_t code) {
    if (code == P_CANCELLED) return;
    p_string message;
    message.format(u"%s\n(%s)", text ? text : u"", p_statusmessage(code));
    sink.showmessage(message);
}
