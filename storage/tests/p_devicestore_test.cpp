// The device store over a scratch folder.
#include "device_fixture.h"

#include <algorithm>
#include <sys/stat.h>

namespace {

class DeviceStore : public DeviceFixture {};

TEST_F(DeviceStore, SubfolderFlag) {
    make_file("files_only/a.jpg");
    make_folder("with_sub/sub");
    make_folder("hidden_sub/.thumbs");
    EXPECT_EQ(node(u"\\files_only")->getflags(), 0u);
    EXPECT_EQ(node(u"\\with_sub")->getflags(), P_FLAG_HASSUBFOLDERS);
    EXPECT_EQ(node(u"\\hidden_sub")->getflags(), 0u);
}

TEST_F(DeviceStore, ExtensionListingAndHiddenEntries) {
    for (const char* f : {"d/a.JPG", "d/b.jpeg", "d/README", "d/.hidden.jpg", "d/c.gif"}) make_file(f);
    make_folder("d/sub");
    make_folder("d/.git");
    ::mkfifo((root / "d/pipe.jpg").c_str(), 0600);  // neither file nor folder
    p_filenode* d = node(u"\\d");
    ASSERT_EQ(d->settrack(P_TRACK_FILES, u"jpg gif", true), P_OK);
    auto listed = names(d);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"a.JPG", "c.gif", "sub"}));

    // Back to folders only: file children go, folder children stay.
    ASSERT_EQ(d->settrack(P_TRACK_FOLDERS, nullptr, true), P_OK);
    EXPECT_EQ(names(d), std::vector<std::string>{"sub"});

    ASSERT_EQ(d->settrack(P_TRACK_FILES, u"*", true), P_OK);
    EXPECT_EQ(names(d).size(), 5u);  // every visible file and the folder
    ASSERT_EQ(d->settrack(P_TRACK_NONE, nullptr, true), P_OK);
    EXPECT_TRUE(names(d).empty());
}

TEST_F(DeviceStore, EmptyExtensionListAdmitsNoFile) {
    make_file("e/a.jpg");
    p_filenode* e = node(u"\\e");
    ASSERT_EQ(e->settrack(P_TRACK_FILES, u"", true), P_OK);
    EXPECT_TRUE(names(e).empty());
}

TEST_F(DeviceStore, CreateChild) {
    p_filenode* r = node(u"\\");
    P_CREATEFILESTRUCT file{nullptr, u"new.txt", false};
    ASSERT_EQ(r->createchild(&file), P_OK);
    EXPECT_NE(file.file, nullptr);
    EXPECT_EQ(read("new.txt"), std::string("\x20\x00", 2));
    EXPECT_EQ(r->getchild(u"new.txt", false)->getfilesize(), 2);
    P_CREATEFILESTRUCT again{nullptr, u"new.txt", false};
    EXPECT_EQ(r->createchild(&again), P_ALREADY_EXISTS);
    P_CREATEFILESTRUCT folder{nullptr, u"Folder", true};
    ASSERT_EQ(r->createchild(&folder), P_OK);
    EXPECT_TRUE(std::filesystem::is_directory(root / "Folder"));
    EXPECT_EQ(r->getchild(u"Folder", false)->getfilesize(), P_FAILED);  // a folder has no size
}

TEST_F(DeviceStore, NamesThePlatformCannotHoldAreRefused) {
    p_filenode* r = node(u"\\");
    for (const char16_t* bad : {u"a/b", u"..", u"x\\y", u""}) {
        P_CREATEFILESTRUCT create{};
        std::copy_n(bad, qelvio::text::length(bad), create.name);
        EXPECT_EQ(r->createchild(&create), P_INVALID_NAME) << qelvio::text::to_utf8(bad);
    }
    make_file("f.jpg");
    EXPECT_EQ(node(u"\\f.jpg")->rename(u"../escape.jpg"), P_INVALID_NAME);
    EXPECT_EQ(node(u"\\..\\etc"), nullptr);  // nothing outside the device
    EXPECT_TRUE(exists("f.jpg"));
}

TEST_F(DeviceStore, CopyToChild) {
    make_file("src/a.jpg", "abc");
    make_file("dst/a.jpg", "old");
    p_filenode* a = node(u"\\src\\a.jpg");
    p_filenode* dst = node(u"\\dst");
    EXPECT_EQ(dst->getfile()->copytochild(a->getfile(), nullptr), P_ALREADY_EXISTS);
    EXPECT_EQ(read("dst/a.jpg"), "old");
    EXPECT_EQ(dst->getfile()->copytochild(a->getfile(), u"b.jpg"), P_OK);
    EXPECT_EQ(read("dst/b.jpg"), "abc");
    EXPECT_NE(dst->getchild(u"b.jpg", false), nullptr);
}

TEST_F(DeviceStore, PlatformErrorsBecomeStatusCodes) {
    make_file("full/a.jpg");
    p_filenode* r = node(u"\\");
    EXPECT_EQ(r->deletechild(u"full"), P_FOLDER_NOT_EMPTY);
    EXPECT_EQ(r->deletechild(u"nothing"), P_NOT_FOUND);
    EXPECT_EQ(r->trackchild(u"nothing"), P_NOT_FOUND);

    if (::geteuid() != 0) {  // root ignores permission bits
        std::filesystem::permissions(root / "full", std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::remove);
        P_CREATEFILESTRUCT create{nullptr, u"b.jpg", false};
        EXPECT_EQ(node(u"\\full")->createchild(&create), P_READ_ONLY);
    }
}

TEST_F(DeviceStore, ReadOnlyAttribute) {
    make_file("r.jpg");
    p_filenode* f = node(u"\\r.jpg");
    uint32_t attributes = 99;
    ASSERT_EQ(f->getfileattributes(&attributes), P_OK);
    EXPECT_EQ(attributes, 0u);
    ASSERT_EQ(f->setfileattributes(P_ATTRIBUTE_READONLY | 0x20), P_OK);
    ASSERT_EQ(f->getfileattributes(&attributes), P_OK);
    EXPECT_EQ(attributes, P_ATTRIBUTE_READONLY);
    using std::filesystem::perms;
    EXPECT_EQ(std::filesystem::status(root / "r.jpg").permissions() &
                  (perms::owner_write | perms::group_write | perms::others_write),
              perms::none);
    ASSERT_EQ(f->setfileattributes(0), P_OK);
    ASSERT_EQ(f->getfileattributes(&attributes), P_OK);
    EXPECT_EQ(attributes, 0u);
}

TEST_F(DeviceStore, ReadWriteSeekTell) {
    p_filenode* r = node(u"\\");
    P_CREATEFILESTRUCT create{nullptr, u"data.bin", false};
    ASSERT_EQ(r->createchild(&create), P_OK);
    p_filenode* f = r->getchild(u"data.bin", false);
    uint32_t handle = 0;
    ASSERT_EQ(f->open(P_OPEN_WRITE, &handle), P_OK);
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(f->write("hello world", 11), 11);
    EXPECT_EQ(f->tell(), 11);
    EXPECT_EQ(f->seek(1, 6), 6);
    EXPECT_EQ(f->write("W", 1), 1);
    EXPECT_EQ(f->seek(2, -1), 10);
    ASSERT_EQ(f->close(), P_OK);
    EXPECT_EQ(read("data.bin"), "hello World");
    ASSERT_EQ(f->open(P_OPEN_READ, &handle), P_OK);
    char buffer[32] = {};
    EXPECT_EQ(f->read(buffer, sizeof buffer), 11);
    EXPECT_EQ(f->read(buffer, sizeof buffer), 0);
    ASSERT_EQ(f->close(), P_OK);
    uint64_t time = 0;
    ASSERT_EQ(f->getfiletime(&time), P_OK);
    // Modification time in 100 ns units since 1601: after the year 2020.
    EXPECT_GT(time, 132223104000000000ull);
}

TEST_F(DeviceStore, MovedFileTakesItsNewPath) {
    make_file("a/f.jpg", "1234");
    make_folder("b");
    p_filenode* f = node(u"\\a\\f.jpg");
    ASSERT_NE(node(u"\\b"), nullptr);
    ASSERT_EQ(f->setparent(u"\\b"), P_OK);
    EXPECT_EQ(f->getfilesize(), 4);
    p_string path;
    f->getpath(path);
    EXPECT_EQ(path.utf8(), "\\b\\f.jpg");
}

}  // namespace

TEST_F(DeviceStore, TrackingANameGoneFromTheMediumTakesItsNodeOut) {
    make_folder("a/kept");
    make_folder("a/gone");
    p_filenode* a = node(u"\\a");
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->settrack(P_TRACK_FOLDERS, nullptr, false), P_OK);
    int slot = a->gettree()->addlistener();
    std::filesystem::remove(root / "a/gone");
    EXPECT_EQ(a->trackchild(u"gone"), P_NOT_FOUND);
    EXPECT_EQ(names(a), std::vector<std::string>{"kept"});
    p_fileevent e;
    ASSERT_TRUE(a->gettree()->getevent(slot, &e));
    EXPECT_EQ(e.kind, P_EVENT_REMOVECHILD);
    EXPECT_EQ(e.other->getname().utf8(), "gone");
    // A name still on the medium is left alone.
    EXPECT_EQ(a->trackchild(u"kept"), P_OK);
    EXPECT_EQ(names(a), std::vector<std::string>{"kept"});
}

TEST_F(DeviceStore, ListingAgainLetsGoOfWhatTheMediumNoLongerHas) {
    make_file("a/one.jpg");
    make_file("a/two.jpg");
    make_file("a/notes.txt");
    make_folder("a/sub");
    p_filenode* a = node(u"\\a");
    ASSERT_EQ(a->settrack(P_TRACK_FILES, u"JPG", false), P_OK);
    ASSERT_NE(a->getexactchild(u"notes.txt", true), nullptr);  // opened by name, not listed
    auto sorted_names = [&] {
        std::vector<std::string> n = names(a);
        std::sort(n.begin(), n.end());
        return n;
    };
    EXPECT_EQ(sorted_names(), (std::vector<std::string>{"notes.txt", "one.jpg", "sub", "two.jpg"}));
    int slot = a->gettree()->addlistener();
    std::filesystem::remove(root / "a/two.jpg");
    make_file("a/three.jpg");
    ASSERT_EQ(a->settrack(P_TRACK_FILES, u"JPG", true), P_OK);
    EXPECT_EQ(sorted_names(), (std::vector<std::string>{"notes.txt", "one.jpg", "sub", "three.jpg"}));
    p_fileevent e;
    ASSERT_TRUE(a->gettree()->getevent(slot, &e));
    EXPECT_EQ(e.kind, P_EVENT_REMOVECHILD);
    EXPECT_EQ(e.other->getname().utf8(), "two.jpg");
    // Folders only: files are not looked at, a vanished folder goes.
    std::filesystem::remove(root / "a/sub");
    ASSERT_EQ(a->settrack(P_TRACK_FOLDERS, nullptr, true), P_OK);
    EXPECT_EQ(names(a), std::vector<std::string>{});
}

TEST_F(DeviceStore, ALinkToAFolderIsDeletedAsALink) {
    make_file("outside/precious.jpg", "P");
    make_folder("a");
    std::filesystem::create_directory_symlink(root / "outside", root / "a" / "link");
    p_filenode* a = node(u"\\a");
    ASSERT_EQ(a->settrack(P_TRACK_FOLDERS, nullptr, false), P_OK);
    ASSERT_EQ(names(a), std::vector<std::string>{"link"});
    EXPECT_EQ(a->deletechild(u"link"), P_OK);
    EXPECT_FALSE(std::filesystem::is_symlink(root / "a" / "link"));
    EXPECT_EQ(read("outside/precious.jpg"), "P");
}
