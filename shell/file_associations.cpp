#include "shell/file_associations.h"

#include "platform/registry.h"
#include "platform/text.h"

#include <vector>

namespace qelvio::shell {
namespace {

using namespace qelvio::platform;

std::vector<uint8_t> string_bytes(std::u16string_view s) {
    std::vector<uint8_t> out;
    for (char16_t c : s) {
        out.push_back(static_cast<uint8_t>(c & 0xFF));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

void set_string(RegKey key, std::u16string_view name, std::u16string_view value) {
    std::vector<uint8_t> bytes = string_bytes(value);
    reg_set_value(key, name, REG_SZ, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

RegKey create(RegKey parent, std::u16string_view path) {
    RegKey key = nullptr;
    if (parent) reg_create_key(parent, path, &key);
    return key;
}

}  // namespace

void register_file_type(const FileTypeRow& row, std::u16string_view program_path) {
    RegKey classes = reg_root(RegHive::classes_root);
    std::u16string quoted = u"\"" + std::u16string(program_path) + u"\"";

    RegKey ext = create(classes, u"." + std::u16string(row.extension));
    set_string(ext, u"", row.type_key);
    set_string(ext, u"Content Type", row.content_type);

    RegKey type = create(classes, row.type_key);
    set_string(type, u"", row.description);
    uint32_t flags = 0x10000;
    if (type) reg_set_value(type, u"EditFlags", REG_DWORD, &flags, 4);

    RegKey icon = create(type, u"DefaultIcon");
    set_string(icon, u"", text::sprintf(1000, u"%s,%d", program_path, row.icon));

    RegKey shell = create(type, u"Shell");
    RegKey open = create(shell, u"Open");
    RegKey command = create(open, u"Command");
    if (command) {
        uint8_t previous[1000];
        uint32_t size = sizeof previous, kind = 0;
        if (reg_query_value(command, u"", &kind, previous, &size) == REG_OK)
            reg_set_value(command, u"old", kind, previous, size);
        set_string(command, u"", text::sprintf(1000, u"%s \"%%1\"", quoted));
    }
    for (RegKey k : {command, open, shell, icon, type, ext}) reg_close_key(k);
}

int32_t register_file_associations(std::u16string_view program_path) {
    RegBatch batch(RegHive::classes_root);  // one write for all rows
    for (const FileTypeRow& row : kFileTypeRows) register_file_type(row, program_path);
    return batch.commit();
}

}  // namespace qelvio::shell
