#include "shell/mru_list.h"

#include "platform/tests/scratch_dir.h"
#include "shell/profile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qelvio::shell {
namespace {

using platform::PlainList;
using testing::ScopedEnv;
using testing::ScratchDir;
using Items = std::vector<std::u16string>;

std::u16string entry(int i) {
    std::string s = "entry " + std::to_string(i);
    return std::u16string(s.begin(), s.end());
}

class MruListTest : public ::testing::Test {
protected:
    ScratchDir dir;
    ScopedEnv env{"QELVIO_CONFIG_DIR", dir.path()};

    void store(const Items& items, int count) {
        write_profile_int(u"renamedlg", u"namecount", count);
        for (std::size_t i = 0; i < items.size(); ++i)
            write_profile_string(u"renamedlg", u"name" + std::u16string(1, char16_t(u'0' + i)), items[i]);
    }
    Items load() {
        PlainList list;
        load_list(list, kRenamePattern);
        return list.items;
    }
};

TEST_F(MruListTest, LoadStopsAtFirstMissingEntry) {
    store({u"a", u"b", u"c"}, 5);
    PlainList list;
    list.items = {u"already there"};
    load_list(list, kRenamePattern);
    EXPECT_EQ(list.items, (Items{u"already there", u"a", u"b", u"c"}));
    EXPECT_TRUE(list.redraw);
    EXPECT_EQ(list.repaints, 1);
}

TEST_F(MruListTest, SentinelTextEndsTheList) {
    store({u"a", kMruMissing, u"c"}, 3);
    EXPECT_EQ(load(), (Items{u"a"}));
}

TEST_F(MruListTest, EmptyProfileLoadsNothing) { EXPECT_TRUE(load().empty()); }

TEST_F(MruListTest, TextDifferingInCaseMovesToTopWithNewCase) {
    PlainList list;
    list.items = {u"one", u"two", u"three", u"Four", u"five"};
    list.text = u"FOUR";
    EXPECT_EQ(save_list(list, kRenamePattern), 0);
    EXPECT_EQ(list.text, u"FOUR");  // the edit text is restored
    EXPECT_EQ(load(), (Items{u"FOUR", u"one", u"two", u"three", u"five"}));
    EXPECT_EQ(get_profile_int(u"renamedlg", u"namecount", 0), 5);
}

TEST_F(MruListTest, NewTextGoesOnTopAndEmptyTextWritesListUnchanged) {
    PlainList list;
    list.items = {u"b"};
    list.text = u"a";
    save_list(list, kEmailRecipients);
    PlainList again;
    load_list(again, kEmailRecipients);
    EXPECT_EQ(again.items, (Items{u"a", u"b"}));
    EXPECT_EQ(get_profile_string(u"emaildlg", u"to0", u""), u"a");

    again.text = u"";
    save_list(again, kEmailRecipients);
    PlainList third;
    load_list(third, kEmailRecipients);
    EXPECT_EQ(third.items, (Items{u"a", u"b"}));
}

TEST_F(MruListTest, TwentyFirstEntryDropsTheOldest) {
    PlainList list;
    for (int i = 0; i < 21; ++i) {
        list.text = entry(i);
        save_list(list, kFindFileName);
    }
    EXPECT_EQ(get_profile_int(u"finddlg", u"filecount", 0), 20);
    Items loaded;
    {
        PlainList fresh;
        load_list(fresh, kFindFileName);
        loaded = fresh.items;
    }
    ASSERT_EQ(loaded.size(), 20u);
    EXPECT_EQ(loaded.front(), entry(20));
    EXPECT_EQ(loaded.back(), entry(1));  // entry 0 is gone
    EXPECT_EQ(get_profile_string(u"finddlg", u"file20", u"missing"), u"missing");
}

}  // namespace
}  // namespace qelvio::shell
