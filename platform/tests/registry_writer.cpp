// Helper process for the registry tests: writes COUNT number values named
// PREFIX0, PREFIX1, ... into HKEY_CURRENT_USER\Software\Qelvio Test, one
// call each, and exits 0 when every write succeeded.
#include "platform/registry.h"
#include "platform/text.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    using namespace qelvio::platform;
    if (argc != 3) {
        std::fputs("usage: registry_writer PREFIX COUNT\n", stderr);
        return 2;
    }
    std::u16string prefix = qelvio::text::to_utf16(argv[1]);
    int count = std::atoi(argv[2]);
    RegKey key = nullptr;
    if (reg_create_key(reg_root(RegHive::current_user), u"Software\\Qelvio Test", &key) != REG_OK)
        return 1;
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        uint32_t value = static_cast<uint32_t>(i);
        std::u16string name = prefix + qelvio::text::to_utf16(std::to_string(i));
        if (reg_set_value(key, name, REG_DWORD, &value, 4) != REG_OK) ++failures;
    }
    reg_close_key(key);
    return failures ? 1 : 0;
}
