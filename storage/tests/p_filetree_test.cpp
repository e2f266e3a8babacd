// The file tree over the device store: lookup, events and node lifetime.
#include "device_fixture.h"

#include "platform/debug_output.h"

#include <map>

namespace {

struct Seen {
    const p_filenode* node;
    uint32_t kind;
    const p_filenode* other;
    bool operator==(const Seen&) const = default;
};

std::vector<Seen> drain(p_filetree* tree, int slot) {
    std::vector<Seen> events;
    p_fileevent e;
    while (tree->getevent(slot, &e)) events.push_back({e.node, e.kind, e.other});
    return events;
}

class FileTree : public DeviceFixture {};

TEST_F(FileTree, LookupIgnoresCaseButNotPrefixes) {
    make_file("docs/abc");
    p_filenode* docs = node(u"\\docs");
    ASSERT_NE(docs, nullptr);
    EXPECT_EQ(docs->getchild(u"ab", true), nullptr);
    p_filenode* abc = docs->getchild(u"ABC", true);
    ASSERT_NE(abc, nullptr);
    EXPECT_EQ(abc->getname().utf8(), "abc");
    EXPECT_EQ(docs->getchild(u"\\\\abc\\", false), abc);  // empty names are skipped
    EXPECT_EQ(docs->getchild(u"", false), nullptr);
    EXPECT_EQ(abc->getchild(u"x", true), nullptr);  // a file has no children
}

TEST_F(FileTree, PathsAndLocators) {
    make_file("My Documents/a.jpg");
    p_filenode* file = node(u"\\My Documents\\a.jpg");
    ASSERT_NE(file, nullptr);
    p_string path;
    file->getpath(path);
    EXPECT_EQ(path.utf8(), "\\My Documents\\a.jpg");
    p_irl irl;
    file->getirl(irl);
    EXPECT_EQ(irl.utf8(), "file:\\\\\\My Documents\\a.jpg");
    p_string scheme, location, parsed;
    EXPECT_EQ(irl.get(&scheme, &location, &parsed), 7u);
    file->gettree()->getroot()->getpath(path);
    EXPECT_EQ(path.utf8(), "\\");
}

TEST_F(FileTree, OpenfileResolvesRootAndReportsFailures) {
    std::vector<std::u16string> trace;
    auto previous = qelvio::platform::set_debug_sink(
        [&](std::u16string_view line) { trace.emplace_back(line); });
    p_filenode* found = nullptr;
    EXPECT_EQ(mcp->openfile(u"file:\\\\", &found), P_OK);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found, found->gettree()->getroot());
    EXPECT_EQ(mcp->openfile(u"file:\\\\\\", &found), P_OK);
    EXPECT_EQ(found, found->gettree()->getroot());

    EXPECT_EQ(mcp->open(u"ftp:\\\\\\x"), nullptr);
    EXPECT_EQ(mcp->openfile(u"ftp:\\\\\\x", &found), P_INVALID_SOURCE);
    EXPECT_EQ(mcp->openfile(u"file:\\\\\\missing.jpg", &found), P_NOT_FOUND);
    qelvio::platform::set_debug_sink(previous);
    ASSERT_EQ(trace.size(), 2u);
    EXPECT_EQ(trace[0], u"p_mcp::openfile() -- p_mcp::open(\"ftp:\\\\\\x\") failed");
    EXPECT_EQ(trace[1], u"p_image::decode() -- getchild(\"\\missing.jpg\") failed");
}

TEST_F(FileTree, OneTreePerStoreWithReferences) {
    p_filetree* a = mcp->open(u"file:\\\\\\");
    p_filetree* b = mcp->open(u"FILE:\\\\\\anything");
    EXPECT_EQ(a, b);
    mcp->close(a);
    mcp->close(b);
    p_filetree* c = mcp->open(u"file:\\\\\\");
    ASSERT_NE(c, nullptr);
    mcp->close(c);
}

TEST_F(FileTree, AddEventsFollowFlagsOfTheNewChild) {
    make_folder("pics/sub");
    p_filetree* tree = mcp->open(u"file:\\\\\\");
    int slot = tree->addlistener();
    p_filenode* pics = tree->getroot()->getchild(u"pics", false);
    ASSERT_NE(pics, nullptr);
    pics->settrack(P_TRACK_FOLDERS, nullptr, false);
    p_filenode* sub = pics->getchild(u"sub", false);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(drain(tree, slot), (std::vector<Seen>{{sub, P_EVENT_FLAGSCHANGED, nullptr},
                                                    {pics, P_EVENT_ADDCHILD, sub}}));
    mcp->close(tree);
}

TEST_F(FileTree, RenameMoveAndRemoveEventOrder) {
    make_file("a/f.jpg");
    make_folder("b");
    p_filenode* file = node(u"\\a\\f.jpg");
    ASSERT_NE(file, nullptr);
    p_filetree* tree = file->gettree();
    p_filenode* a = file->getparent();
    p_filenode* b = tree->getroot()->getchild(u"b", true);
    int slot = tree->addlistener();

    EXPECT_EQ(file->rename(u"g.jpg"), P_OK);
    EXPECT_EQ(drain(tree, slot), (std::vector<Seen>{{a, P_EVENT_CHILDRENAMED, file}}));
    EXPECT_TRUE(exists("a/g.jpg"));

    EXPECT_EQ(file->setparent(u"\\b"), P_OK);
    EXPECT_EQ(drain(tree, slot), (std::vector<Seen>{{file, P_EVENT_PARENTCHANGED, nullptr},
                                                    {a, P_EVENT_REMOVECHILD, file},
                                                    {b, P_EVENT_ADDCHILD, file}}));
    EXPECT_EQ(file->getparent(), b);
    EXPECT_TRUE(exists("b/g.jpg"));

    EXPECT_EQ(b->deletechild(u"g.jpg"), P_OK);
    EXPECT_EQ(drain(tree, slot), (std::vector<Seen>{{b, P_EVENT_REMOVECHILD, file}}));
    EXPECT_FALSE(exists("b/g.jpg"));
}

TEST_F(FileTree, RenameAndMoveRules) {
    make_file("a/f.jpg");
    make_file("b/f.jpg");
    p_filenode* file = node(u"\\a\\f.jpg");
    ASSERT_NE(file, nullptr);
    p_filetree* tree = file->gettree();
    int slot = tree->addlistener();
    EXPECT_EQ(file->rename(u"f.jpg"), P_OK);   // same name: nothing happens
    EXPECT_EQ(file->setparent(u"\\a"), P_OK);  // current parent: nothing happens
    EXPECT_TRUE(drain(tree, slot).empty());
    EXPECT_EQ(file->setparent(u"\\nowhere"), P_PARENT_NOT_FOUND);
    EXPECT_EQ(file->setparent(u"\\b"), P_ALREADY_EXISTS);
    uint32_t handle = 0;
    ASSERT_EQ(file->open(P_OPEN_READ, &handle), P_OK);
    EXPECT_EQ(file->open(P_OPEN_READ, &handle), P_ALREADY_OPEN);
    EXPECT_EQ(file->rename(u"g.jpg"), P_ALREADY_OPEN);
    EXPECT_EQ(file->setparent(u"\\b"), P_ALREADY_OPEN);
    EXPECT_EQ(file->close(), P_OK);
    EXPECT_EQ(file->close(), P_NOT_OPEN);
    char byte;
    EXPECT_EQ(file->read(&byte, 1), P_NOT_OPEN);
}

TEST_F(FileTree, TwoRenamesKeepTheOldestPreviousName) {
    make_file("one.jpg");
    p_filenode* file = node(u"\\one.jpg");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(file->rename(u"two.jpg"), P_OK);
    ASSERT_EQ(file->rename(u"three.jpg"), P_OK);
    EXPECT_EQ(file->takepreviousname().utf8(), "one.jpg");
    EXPECT_TRUE(file->takepreviousname().isempty());
    EXPECT_EQ(file->getname().utf8(), "three.jpg");
}

TEST_F(FileTree, ReleasedNodesLiveUntilEveryQueueIsDrained) {
    make_file("f.jpg");
    p_filenode* file = node(u"\\f.jpg");
    ASSERT_NE(file, nullptr);
    p_filetree* tree = file->gettree();
    int first = tree->addlistener();
    int second = tree->addlistener();
    ASSERT_EQ(tree->getroot()->deletechild(u"f.jpg"), P_OK);
    EXPECT_TRUE(file->isreleased());
    EXPECT_EQ(file->getname().utf8(), "f.jpg");  // still readable
    EXPECT_EQ(file->getfilesize(), P_FAILED);    // but without a file object

    EXPECT_EQ(drain(tree, first).size(), 1u);
    p_fileevent e;
    EXPECT_FALSE(tree->getevent(first, &e));
    EXPECT_EQ(tree->releasedcount(), 1u);  // the second slot still points to it

    EXPECT_TRUE(tree->getevent(second, &e));
    EXPECT_EQ(e.other, file);
    EXPECT_EQ(tree->releasedcount(), 1u);
    EXPECT_FALSE(tree->getevent(second, &e));  // every queue empty: destroyed now
    EXPECT_EQ(tree->releasedcount(), 0u);
}

TEST_F(FileTree, ListenerSlots) {
    p_filetree* tree = mcp->open(u"file:\\\\\\");
    std::vector<int> slots;
    for (int i = 0; i < 5; ++i) slots.push_back(tree->addlistener());
    EXPECT_EQ(slots, (std::vector<int>{0, 1, 2, 3, -1}));
    EXPECT_FALSE(tree->removelistener(4));
    EXPECT_TRUE(tree->removelistener(1));
    EXPECT_EQ(tree->addlistener(), 1);
    p_fileevent e;
    EXPECT_FALSE(tree->getevent(7, &e));
    mcp->close(tree);
}

TEST_F(FileTree, SettrackListsAgainOnlyWhenAskedTo) {
    make_file("pics/a.jpg");
    p_filenode* pics = node(u"\\pics");
    ASSERT_NE(pics, nullptr);
    EXPECT_EQ(pics->settrack(P_TRACK_FILES, u"jpg", false), P_OK);
    EXPECT_EQ(names(pics), std::vector<std::string>{"a.jpg"});
    make_file("pics/b.jpg");
    EXPECT_EQ(pics->settrack(P_TRACK_FILES, nullptr, false), P_OK);
    EXPECT_EQ(names(pics).size(), 1u);
    EXPECT_EQ(pics->settrack(P_TRACK_FILES, nullptr, true), P_OK);
    EXPECT_EQ(names(pics), (std::vector<std::string>{"a.jpg", "b.jpg"}));
}

// Records what the image cache is told.
struct RecordingHooks : p_cachehooks {
    std::vector<std::string> calls;
    void forget(const p_irl& irl) override { calls.push_back("forget " + irl.utf8()); }
    void repath(const p_irl& from, const p_irl& to) override {
        calls.push_back("repath " + from.utf8() + " " + to.utf8());
    }
};

TEST_F(FileTree, CacheFollowsRenamesAndDeletions) {
    RecordingHooks hooks;
    mcp->setcachehooks(&hooks);
    make_file("d/a.jpg");
    p_filenode* file = node(u"\\d\\a.jpg");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(file->rename(u"b.jpg"), P_OK);
    ASSERT_EQ(file->getparent()->deletechild(u"b.jpg"), P_OK);
    EXPECT_EQ(hooks.calls, (std::vector<std::string>{
                               "repath file:\\\\\\d\\a.jpg file:\\\\\\d\\b.jpg",
                               "forget file:\\\\\\d\\a.jpg",
                               "forget file:\\\\\\d\\b.jpg"}));
    mcp->setcachehooks(nullptr);
}

TEST_F(FileTree, RenamingAFolderKeepsItsTrackedChildrenUsable) {
    make_file("old/inner/f.jpg", "content");
    p_filenode* f = node(u"\\old\\inner\\f.jpg");
    ASSERT_NE(f, nullptr);
    p_filenode* folder = node(u"\\old");
    ASSERT_EQ(folder->rename(u"new"), P_OK);
    EXPECT_EQ(f->getfilesize(), 7);
    EXPECT_EQ(f->rename(u"g.jpg"), P_OK);
    EXPECT_TRUE(exists("new/inner/g.jpg"));
}

}  // namespace
