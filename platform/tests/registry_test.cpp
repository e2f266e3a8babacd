#include "platform/registry.h"

#include "platform/debug_output.h"
#include "platform/registry_hive.h"
#include "platform/tests/scratch_dir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace qelvio::platform {
namespace {

using testing::ScopedEnv;
using testing::ScratchDir;

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void write_file(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::vector<uint8_t> u16_bytes(std::u16string_view s) {
    std::vector<uint8_t> out;
    for (char16_t c : s) {
        out.push_back(static_cast<uint8_t>(c & 0xFF));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    return out;
}

class RegistryTest : public ::testing::Test {
protected:
    ScratchDir dir;
    ScopedEnv env{"QELVIO_CONFIG_DIR", dir.path()};
    RegKey user = reg_root(RegHive::current_user);

    RegKey create(std::u16string_view path) {
        RegKey key = nullptr;
        EXPECT_EQ(reg_create_key(user, path, &key), REG_OK);
        return key;
    }

    std::vector<uint8_t> query(RegKey key, std::u16string_view name, uint32_t* type = nullptr) {
        uint32_t size = 0;
        if (reg_query_value(key, name, type, nullptr, &size) != REG_OK) return {};
        std::vector<uint8_t> data(size);
        EXPECT_EQ(reg_query_value(key, name, type, data.data(), &size), REG_OK);
        return data;
    }
};

struct StoredValue {
    const char* label;
    std::u16string name;
    uint32_t type;
    std::vector<uint8_t> data;
};

// Every value must come back byte for byte after a trip through the file,
// including the forms that need the hex fallback.
TEST_F(RegistryTest, EveryValueSurvivesTheHiveFile) {
    const std::vector<StoredValue> values = {
        {"plain string", u"lastdirectory", REG_SZ, u16_bytes(std::u16string(u"file:\\\\\\My \"Docs\"\\\n\0", 20))},
        {"default value", u"", REG_SZ, u16_bytes(std::u16string(u"JPEG Image\0", 11))},
        {"string without terminator", u"raw", REG_SZ, u16_bytes(u"abc")},
        {"string of odd length", u"odd", REG_SZ, {0x41, 0x00, 0x42}},
        {"non-ASCII and controls", u"t\u00e9xt\u2603", REG_SZ,
         u16_bytes(std::u16string(u"\u00e9\u20ac\U0001F600\x01\t\0", 7))},
        {"unpaired surrogate", u"sur\xD800", REG_SZ, u16_bytes(std::u16string(u"x\xDC00y\0", 4))},
        {"number", u"slide_interval", REG_DWORD, {0x2c, 0x01, 0x00, 0x00}},
        {"number of wrong size", u"short", REG_DWORD, {0x01, 0x02}},
        {"binary", u"cache", REG_BINARY, {0x00, 0xff, 0x10}},
        {"empty binary", u"nothing", REG_BINARY, {}},
        {"multi-string", u"list", REG_MULTI_SZ, u16_bytes(std::u16string(u"a\0b c\0\0", 7))},
        {"multi-string with empty entry", u"holes", REG_MULTI_SZ,
         u16_bytes(std::u16string(u"a\0\0b\0\0", 6))},
        {"other type", u"expand", 2, u16_bytes(std::u16string(u"%HOME%\0", 7))},
    };
    RegKey key = create(u"Software\\Brantel\\Qelvio\\[section]");
    for (const StoredValue& v : values)
        ASSERT_EQ(reg_set_value(key, v.name, v.type, v.data.data(), static_cast<uint32_t>(v.data.size())), REG_OK)
            << v.label;
    reg_close_key(key);

    // Read the file from a second folder, where nothing of it is cached.
    ScratchDir other;
    std::filesystem::copy_file(dir / "user.reg", other / "user.reg");
    ScopedEnv env2("QELVIO_CONFIG_DIR", other.path());
    ASSERT_EQ(reg_open_key(user, u"software\\BRANTEL\\qelvio\\[section]", false, &key), REG_OK);
    for (const StoredValue& v : values) {
        uint32_t type = 99;
        EXPECT_EQ(query(key, v.name, &type), v.data) << v.label;
        EXPECT_EQ(type, v.type) << v.label;
    }
    reg_close_key(key);
}

TEST_F(RegistryTest, HiveFileIsReadableText) {
    RegKey key = create(u"Software\\Brantel\\Qelvio\\Qelvio Mobile\\viewer");
    uint32_t n = 300;
    reg_set_value(key, u"slide_interval", REG_DWORD, &n, 4);
    auto s = u16_bytes(std::u16string(u"\\\0", 2));
    reg_set_value(key, u"lastdirectory", REG_SZ, s.data(), static_cast<uint32_t>(s.size()));
    reg_close_key(key);
    std::string text = read_file(dir / "user.reg");
    EXPECT_NE(text.find("REGEDIT4\n"), std::string::npos);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Brantel\\Qelvio\\Qelvio Mobile\\viewer]\n"
                        "\"slide_interval\"=dword:0000012c\n\"lastdirectory\"=\"\\\\\"\n"),
              std::string::npos)
        << text;
    // No temporary files are left behind.
    for (auto& entry : std::filesystem::directory_iterator(dir.path())) {
        std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "user.reg" || name == "user.reg.lock") << name;
    }
}

TEST_F(RegistryTest, QueryFollowsBufferRules) {
    RegKey key = create(u"Software\\Q");
    auto s = u16_bytes(std::u16string(u"hello\0", 6));
    ASSERT_EQ(reg_set_value(key, u"Greeting", REG_SZ, s.data(), 12), REG_OK);

    uint32_t size = 0, type = 0;
    EXPECT_EQ(reg_query_value(key, u"greeting", &type, nullptr, &size), REG_OK);  // size enquiry
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(type, static_cast<uint32_t>(REG_SZ));

    uint8_t small[4];
    size = sizeof small;
    EXPECT_EQ(reg_query_value(key, u"greeting", nullptr, small, &size), REG_ERROR_MORE_DATA);
    EXPECT_EQ(size, 12u);

    uint8_t big[64];
    size = sizeof big;
    EXPECT_EQ(reg_query_value(key, u"GREETING", nullptr, big, &size), REG_OK);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(0, std::memcmp(big, s.data(), 12));

    EXPECT_EQ(reg_query_value(key, u"missing", nullptr, big, &size), REG_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg_query_value(nullptr, u"x", nullptr, nullptr, &size), REG_ERROR_INVALID_HANDLE);

    // Enumerations keep the case names were created with.
    std::u16string name;
    EXPECT_EQ(reg_enum_value(key, 0, &name), REG_OK);
    EXPECT_EQ(name, u"Greeting");
    EXPECT_EQ(reg_enum_value(key, 1, &name), REG_ERROR_NO_MORE_ITEMS);
    reg_close_key(key);
}

TEST_F(RegistryTest, KeysAreCreatedOpenedEnumeratedAndDeleted) {
    RegKey key = nullptr;
    bool created = false;
    ASSERT_EQ(reg_create_key(user, u"A\\B\\C", &key, &created), REG_OK);
    EXPECT_TRUE(created);
    reg_close_key(key);
    ASSERT_EQ(reg_create_key(user, u"a\\b\\c", &key, &created), REG_OK);
    EXPECT_FALSE(created);
    reg_close_key(key);
    RegKey b = create(u"A\\B");
    reg_close_key(create(u"A\\B\\D"));

    std::u16string name;
    EXPECT_EQ(reg_enum_key(b, 0, &name), REG_OK);
    EXPECT_EQ(name, u"C");
    EXPECT_EQ(reg_enum_key(b, 1, &name), REG_OK);
    EXPECT_EQ(name, u"D");
    EXPECT_EQ(reg_enum_key(b, 2, &name), REG_ERROR_NO_MORE_ITEMS);

    EXPECT_EQ(reg_open_key(user, u"A\\X", false, &key), REG_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg_delete_key(user, u"A\\B"), REG_ERROR_ACCESS_DENIED);  // has sub-keys
    EXPECT_EQ(reg_delete_key(b, u"C"), REG_OK);
    EXPECT_EQ(reg_delete_key(b, u"C"), REG_ERROR_FILE_NOT_FOUND);

    // A handle to a deleted key answers 1018.
    RegKey d = create(u"A\\B\\D");
    EXPECT_EQ(reg_delete_key(b, u"D"), REG_OK);
    uint32_t n = 1;
    EXPECT_EQ(reg_set_value(d, u"v", REG_DWORD, &n, 4), REG_ERROR_KEY_DELETED);
    reg_close_key(d);

    // A read-only handle cannot change anything.
    RegKey ro = nullptr;
    ASSERT_EQ(reg_open_key(user, u"A\\B", false, &ro), REG_OK);
    EXPECT_EQ(reg_set_value(ro, u"v", REG_DWORD, &n, 4), REG_ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg_delete_value(ro, u"v"), REG_ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg_create_key(ro, u"New", &key), REG_ERROR_ACCESS_DENIED);
    reg_close_key(ro);
    reg_close_key(b);
}

TEST_F(RegistryTest, BadNamesAndSizesAreRefused) {
    RegKey key = create(u"K");
    uint32_t n = 1;
    RegKey out = nullptr;
    EXPECT_EQ(reg_create_key(user, std::u16string(256, u'k'), &out), REG_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(reg_create_key(user, u"bad\nname", &out), REG_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(reg_create_key(user, u"half\xD800", &out), REG_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(reg_create_key(user, std::u16string(255, u'k'), &out), REG_OK);
    reg_close_key(out);
    EXPECT_EQ(reg_set_value(key, std::u16string(kMaxValueNameChars + 1, u'v'), REG_DWORD, &n, 4),
              REG_ERROR_INVALID_PARAMETER);
    std::vector<uint8_t> huge(kMaxValueBytes + 1);
    EXPECT_EQ(reg_set_value(key, u"huge", REG_BINARY, huge.data(), static_cast<uint32_t>(huge.size())),
              REG_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(reg_set_value(key, u"null", REG_BINARY, nullptr, 4), REG_ERROR_INVALID_PARAMETER);
    reg_close_key(key);
}

// A hive that cannot be parsed is kept aside and read as empty; the next
// write starts a good hive.
TEST_F(RegistryTest, UnreadableHiveIsMovedAside) {
    const std::vector<std::pair<const char*, std::string>> broken = {
        {"no header", "[HKEY_CURRENT_USER\\K]\n\"v\"=dword:00000001\n"},
        {"truncated value", "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"v\"=dword:0000"},
        {"unterminated quote", "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"v=\"abc\n"},
        {"value before any key", "REGEDIT4\n\"v\"=dword:00000001\n"},
        {"another hive's root", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n"},
        {"bad hex", "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"v\"=hex:0g\n"},
        {"binary garbage", std::string("\xff\xfe\x00R\x00E", 6)},
    };
    for (const auto& [label, content] : broken) {
        ScratchDir d;
        ScopedEnv e("QELVIO_CONFIG_DIR", d.path());
        write_file(d / "user.reg", content);
        std::vector<std::u16string> lines;
        auto previous = set_debug_sink([&](std::u16string_view l) { lines.emplace_back(l); });
        RegKey key = nullptr;
        EXPECT_EQ(reg_open_key(user, u"K", false, &key), REG_ERROR_FILE_NOT_FOUND) << label;
        set_debug_sink(previous);
        EXPECT_EQ(read_file(d / "user.reg.bad"), content) << label;
        EXPECT_FALSE(std::filesystem::exists(d / "user.reg")) << label;
        EXPECT_EQ(lines.size(), 1u) << label;

        ASSERT_EQ(reg_create_key(user, u"K", &key), REG_OK) << label;
        uint32_t n = 7, got = 0, size = 4;
        EXPECT_EQ(reg_set_value(key, u"v", REG_DWORD, &n, 4), REG_OK);
        EXPECT_EQ(reg_query_value(key, u"v", nullptr, &got, &size), REG_OK);
        EXPECT_EQ(got, 7u);
        reg_close_key(key);
        EXPECT_EQ(read_file(d / "user.reg.bad"), content) << label;
    }
}

TEST_F(RegistryTest, HandEditedFileIsAccepted) {
    write_file(dir / "machine.reg",
               "\r\nREGEDIT4\r\n; a comment\r\n[HKEY_LOCAL_MACHINE\\Software\\Brantel\\PlugIns]\r\n"
               "\"PIFolder\"=\"\\\\Program Files\"\r\n\"Count\"=dword:0000000A\r\n"
               "\"count\"=dword:0000000B\r\n");
    RegKey key = nullptr;
    ASSERT_EQ(reg_open_key(reg_root(RegHive::local_machine), u"Software\\Brantel\\PlugIns", false, &key),
              REG_OK);
    uint32_t n = 0, size = 4;
    EXPECT_EQ(reg_query_value(key, u"count", nullptr, &n, &size), REG_OK);
    EXPECT_EQ(n, 11u);  // a name given twice keeps its last value...
    EXPECT_EQ(query(key, u"PIFolder"), u16_bytes(std::u16string(u"\\Program Files\0", 15)));
    std::u16string name;
    EXPECT_EQ(reg_enum_value(key, 1, &name), REG_OK);  // ...and its first place, once
    EXPECT_EQ(name, u"count");
    EXPECT_EQ(reg_enum_value(key, 2, &name), REG_ERROR_NO_MORE_ITEMS);
    reg_close_key(key);
}

TEST_F(RegistryTest, UnwritableConfigFolderReportsCantWrite) {
    write_file(dir / "plain-file", "x");
    ScopedEnv e("QELVIO_CONFIG_DIR", dir / "plain-file/qelvio");
    RegKey key = nullptr;
    EXPECT_EQ(reg_create_key(user, u"K", &key), REG_ERROR_CANTWRITE);
    EXPECT_EQ(key, nullptr);
    uint32_t n = 1;
    EXPECT_EQ(reg_set_value(user, u"v", REG_DWORD, &n, 4), REG_ERROR_CANTWRITE);
    // Nothing was kept in memory either.
    uint32_t size = 4;
    EXPECT_EQ(reg_query_value(user, u"v", nullptr, &n, &size), REG_ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, BatchWritesOnceAtTheEnd) {
    RegKey key = create(u"Batch");
    {
        RegBatch batch(RegHive::current_user);
        for (uint32_t i = 0; i < 3; ++i) {
            std::u16string name = u"v" + text::to_utf16(std::to_string(i));
            ASSERT_EQ(reg_set_value(key, name, REG_DWORD, &i, 4), REG_OK);
        }
        uint32_t n = 0, size = 4;
        EXPECT_EQ(reg_query_value(key, u"v2", nullptr, &n, &size), REG_OK);  // seen at once
        EXPECT_EQ(n, 2u);
        EXPECT_EQ(read_file(dir / "user.reg").find("\"v0\""), std::string::npos);  // not yet written
        {
            RegBatch inner(RegHive::current_user);
            reg_delete_value(key, u"v1");
            EXPECT_EQ(inner.commit(), REG_OK);  // only the outermost batch writes
        }
        EXPECT_EQ(read_file(dir / "user.reg").find("\"v0\""), std::string::npos);
    }
    std::string text = read_file(dir / "user.reg");
    EXPECT_NE(text.find("\"v0\"=dword:00000000\n\"v2\"=dword:00000002\n"), std::string::npos) << text;
    reg_close_key(key);
}

TEST_F(RegistryTest, BatchOnUnwritableFolderFails) {
    write_file(dir / "plain-file", "x");
    ScopedEnv e("QELVIO_CONFIG_DIR", dir / "plain-file/qelvio");
    RegBatch batch(RegHive::current_user);
    uint32_t n = 1;
    EXPECT_EQ(reg_set_value(user, u"v", REG_DWORD, &n, 4), REG_ERROR_CANTWRITE);
    EXPECT_EQ(batch.commit(), REG_ERROR_CANTWRITE);
}

int run_writer(const std::string& prefix, int count) {
    pid_t pid = ::fork();
    if (pid == 0) {
        ::execl(QELVIO_REGISTRY_WRITER, QELVIO_REGISTRY_WRITER, prefix.c_str(),
                std::to_string(count).c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
    pid_t a = run_writer("a", 500);
    pid_t b = run_writer("b", 500);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    int status_a = 0, status_b = 0;
    ::waitpid(a, &status_a, 0);
    ::waitpid(b, &status_b, 0);
    ASSERT_TRUE(WIFEXITED(status_a) && WEXITSTATUS(status_a) == 0);
    ASSERT_TRUE(WIFEXITED(status_b) && WEXITSTATUS(status_b) == 0);

    RegKey key = nullptr;
    ASSERT_EQ(reg_open_key(user, u"Software\\Qelvio Test", false, &key), REG_OK);
    int found = 0;
    for (const char16_t* prefix : {u"a", u"b"}) {
        for (uint32_t i = 0; i < 500; ++i) {
            uint32_t n = 0xFFFFFFFF, size = 4;
            std::u16string name = prefix + text::to_utf16(std::to_string(i));
            if (reg_query_value(key, name, nullptr, &n, &size) == REG_OK && n == i) ++found;
        }
    }
    EXPECT_EQ(found, 1000);
    std::u16string name;
    EXPECT_EQ(reg_enum_value(key, 1000, &name), REG_ERROR_NO_MORE_ITEMS);
    reg_close_key(key);
}

}  // namespace
}  // namespace qelvio::platform
