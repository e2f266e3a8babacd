#include "platform/registry_key.h"

#include "platform/tests/scratch_dir.h"

#include <gtest/gtest.h>

namespace qelvio::platform {
namespace {

using testing::ScopedEnv;
using testing::ScratchDir;

constexpr char16_t kPlugIns[] = u"Software\\Brantel\\PlugIns";

class RegistryKeyTest : public ::testing::Test {
protected:
    ScratchDir dir;
    ScopedEnv env{"QELVIO_CONFIG_DIR", dir.path()};
    RegKey user = reg_root(RegHive::current_user);
    RegKey machine = reg_root(RegHive::local_machine);

    // The plug-in manager's arrangement: read the user's hive first, write
    // the machine's, fall back to the user's.
    std::unique_ptr<RegistryKey> plugins() {
        return std::make_unique<RegistryKey>(user, machine, machine, user, kPlugIns);
    }

    // A value straight from one hive, bypassing the two-level key.
    bool has_value(RegKey root, std::u16string_view path, std::u16string_view name) {
        RegKey key = nullptr;
        if (reg_open_key(root, path, false, &key) != REG_OK) return false;
        uint32_t size = 0;
        bool found = reg_query_value(key, name, nullptr, nullptr, &size) == REG_OK;
        reg_close_key(key);
        return found;
    }
};

TEST_F(RegistryKeyTest, ValueInSecondaryReadKeyWins) {
    RegistryKey user_only(user, kPlugIns);
    RegistryKey machine_only(machine, kPlugIns);
    user_only.set_number(u"Version", 1);
    machine_only.set_number(u"Version", 2);
    EXPECT_EQ(plugins()->query_number(u"Version", 0), 2u);
}

// A value that only the primary read key holds is still found (it is where a
// write lands when the machine's hive refuses it).
TEST_F(RegistryKeyTest, ValueOnlyInPrimaryReadKeyIsFound) {
    RegistryKey(user, kPlugIns).set_string(u"PIFolder", u"\\Program Files\\Qelvio");
    auto key = plugins();
    std::u16string folder;
    EXPECT_TRUE(key->query_string(u"PIFolder", &folder));
    EXPECT_EQ(folder, u"\\Program Files\\Qelvio");
    // The size enquiry of the same value, and a buffer sized by it.
    uint32_t size = 0;
    EXPECT_EQ(key->query(u"PIFolder", nullptr, nullptr, &size), REG_OK);
    EXPECT_EQ(size, 2u * 22);
}

TEST_F(RegistryKeyTest, NumberQueryOfMissingOrWrongTypeGivesDefault) {
    auto key = plugins();
    EXPECT_EQ(key->query_number(u"missing", 1234), 1234u);
    key->set_string(u"text", u"12");
    EXPECT_EQ(key->query_number(u"text", 5), 5u);
    key->set_binary(u"two", "\x01\x02", 2);
    EXPECT_EQ(key->query_number(u"two", 6), 6u);
    key->set_number(u"n", 0xFFFFFFFE);
    EXPECT_EQ(key->query_number(u"n", 0), 0xFFFFFFFEu);
}

TEST_F(RegistryKeyTest, WriteToWritablePrimaryLeavesItOnlyThere) {
    RegistryKey(user, kPlugIns).set_number(u"Stale", 1);  // an old fallback copy
    auto key = plugins();
    EXPECT_EQ(key->set_number(u"Stale", 2), REG_OK);
    EXPECT_TRUE(has_value(machine, kPlugIns, u"Stale"));
    EXPECT_FALSE(has_value(user, kPlugIns, u"Stale"));
    EXPECT_EQ(key->query_number(u"Stale", 0), 2u);
}

TEST_F(RegistryKeyTest, WriteFallsBackToSecondaryWithoutPrimary) {
    RegistryKey key(user, nullptr, machine, user, kPlugIns);
    EXPECT_EQ(key.primary_write(), nullptr);
    EXPECT_EQ(key.set_number(u"Fallback", 9), REG_OK);
    EXPECT_TRUE(has_value(user, kPlugIns, u"Fallback"));
    EXPECT_EQ(key.query_number(u"Fallback", 0), 9u);

    RegistryKey nowhere(user, nullptr, nullptr, nullptr, kPlugIns);
    EXPECT_EQ(nowhere.set_number(u"x", 1), REG_ERROR_CANTWRITE);
}

TEST_F(RegistryKeyTest, EnumerationListsPrimaryFirstWithRepeats) {
    RegistryKey u(user, kPlugIns), m(machine, kPlugIns);
    u.set_number(u"shared", 1);
    u.set_number(u"mine", 1);
    m.set_number(u"shared", 1);
    m.set_number(u"theirs", 1);
    RegistryKey(u, u"InfoCache");
    RegistryKey(m, u"Other");
    StringList values, keys;
    plugins()->enumerate_values(values);
    plugins()->enumerate_keys(keys);
    ASSERT_EQ(values.count(), 4u);
    EXPECT_EQ(values[0], u"shared");
    EXPECT_EQ(values[1], u"mine");
    EXPECT_EQ(values[2], u"shared");
    EXPECT_EQ(values[3], u"theirs");
    ASSERT_EQ(keys.count(), 2u);
    EXPECT_EQ(keys[0], u"InfoCache");
    EXPECT_EQ(keys[1], u"Other");
}

TEST_F(RegistryKeyTest, SubKeyFollowsParentHandles) {
    RegistryKey single(user, u"Software\\One");
    RegistryKey child(single, u"Sub");
    EXPECT_EQ(child.primary_read(), child.primary_write());
    EXPECT_NE(child.primary_write(), nullptr);
    EXPECT_EQ(child.secondary_write(), nullptr);

    auto parent = plugins();
    RegistryKey idp(*parent, u"InfoCache\\IDP");
    EXPECT_NE(idp.primary_write(), idp.primary_read());
    EXPECT_NE(idp.secondary_read(), nullptr);  // the user's copy was created by the write key
    const uint8_t block[] = {2, 0, 0x64, 0x00};
    EXPECT_EQ(idp.set_binary(u"\\Program Files\\a.apl", block, sizeof block), REG_OK);
    EXPECT_TRUE(has_value(machine, u"Software\\Brantel\\PlugIns\\InfoCache\\IDP", u"\\Program Files\\a.apl"));
    uint32_t size = 0, type = 0;
    auto data = idp.query_allocated(u"\\program files\\A.APL", &size, &type);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(size, sizeof block);
    EXPECT_EQ(type, static_cast<uint32_t>(REG_BINARY));
    EXPECT_EQ(data[2], 0x64);
    EXPECT_EQ(idp.query_allocated(u"none", &size), nullptr);
}

TEST_F(RegistryKeyTest, DeleteValueRemovesBothCopies) {
    RegistryKey(user, kPlugIns).set_number(u"v", 1);
    RegistryKey(machine, kPlugIns).set_number(u"v", 1);
    auto key = plugins();
    EXPECT_EQ(key->delete_value(u"v"), REG_OK);
    EXPECT_FALSE(has_value(user, kPlugIns, u"v"));
    EXPECT_FALSE(has_value(machine, kPlugIns, u"v"));
    EXPECT_EQ(key->delete_value(u"v"), REG_ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryKeyTest, DeleteTreeRemovesEverythingBelow) {
    RegistryKey(user, u"Software\\T\\a\\b\\c").set_number(u"v", 1);
    RegistryKey(user, u"Software\\T\\a\\d");
    RegistryKey(user, u"Software\\T\\e");
    EXPECT_EQ(RegistryKey::delete_tree(user, u"Software\\T"), REG_OK);
    RegKey key = nullptr;
    EXPECT_EQ(reg_open_key(user, u"Software\\T", false, &key), REG_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg_open_key(user, u"Software", false, &key), REG_OK);
    reg_close_key(key);
    EXPECT_EQ(RegistryKey::delete_tree(user, u"Software\\T"), REG_ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryKeyTest, MultiStringsFromListsAndControls) {
    RegistryKey key(user, u"Software\\M");
    StringList list;
    list.add(u"one");
    list.add(u"");
    list.add(u"two");
    EXPECT_EQ(key.set_multi_string(u"plain", list), REG_OK);
    StringList back;
    EXPECT_TRUE(key.get_multi_string(u"plain", back));
    ASSERT_EQ(back.count(), 2u);
    EXPECT_EQ(back[1], u"two");

    PlainList combo;
    combo.items = {u"alpha", u"Beta", u"gamma", u"delta"};
    combo.text = u"BETA";
    // The edit text goes on top (replacing "Beta"); at most 3 entries; and the
    // characters stop at 17: "BETA\0alpha\0" is 11, "gamma\0" would make 17
    // plus the final terminator.
    EXPECT_EQ(key.set_multi_string(u"combo", combo, true, 3, 17), REG_OK);
    PlainList filled;
    EXPECT_TRUE(key.get_multi_string(u"combo", filled));
    EXPECT_EQ(filled.items, (std::vector<std::u16string>{u"BETA", u"alpha"}));
    EXPECT_TRUE(filled.redraw);
    EXPECT_EQ(combo.items.front(), u"BETA");
    EXPECT_EQ(combo.items.size(), 4u);

    EXPECT_EQ(key.set_multi_string(u"combo", combo, false, 3, 1000), REG_OK);
    back.clear();
    key.get_multi_string(u"combo", back);
    EXPECT_EQ(back.count(), 3u);
    key.set_number(u"number", 1);
    EXPECT_FALSE(key.get_multi_string(u"number", back));
}

TEST(StringListTest, GrowsInSteps) {
    StringList list;
    for (int i = 0; i < 100; ++i) list.add(std::u16string(1, static_cast<char16_t>(u'a' + i % 26)));
    EXPECT_EQ(list.count(), 100u);
    EXPECT_EQ(list[99], u"v");
}

}  // namespace
}  // namespace qelvio::platform
