// The thumbnail cache over a scratch device with real JPEG files.
#include "thumbnails/p_thumbcache.h"
#include "storage/tests/command_output.h"
#include "storage/tests/device_fixture.h"

namespace qd = qelvio::decoding;
namespace qt = qelvio::thumbnails;

namespace {

struct Entry {
    std::u16string path;
    std::u16string name;
    uint64_t time;
};

// An index file as the cache writes it.
std::string index_bytes(const std::vector<Entry>& entries, uint16_t version = 2) {
    std::string out;
    auto put = [&](uint64_t v, int n) {
        for (int i = 0; i < n; ++i) out += static_cast<char>(v >> (8 * i));
    };
    put(version, 2);
    for (const Entry& e : entries) {
        put(e.path.size(), 4);
        for (char16_t c : e.path) put(c, 2);
        for (std::size_t i = 0; i < 12; ++i) put(i < e.name.size() ? e.name[i] : 0, 2);
        put(e.time, 8);
    }
    put(0, 4);
    return out;
}

class ThumbCache : public DeviceFixture {
protected:
    void SetUp() override {
        DeviceFixture::SetUp();
        std::filesystem::create_directories(root / "thumbs");
        std::string cmd = "convert -size 80x60 xc:navy -quality 90 '" + (root / "seed.jpg").string() + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    // A locator of a picture file, made as a copy of the seed picture.
    p_string picture(const std::string& name) {
        std::filesystem::create_directories((root / "pics" / name).parent_path());
        std::filesystem::copy_file(root / "seed.jpg", root / "pics" / name,
                                   std::filesystem::copy_options::overwrite_existing);
        std::string locator = "file:\\\\\\pics\\" + name;
        for (char& c : locator)
            if (c == '/') c = '\\';
        return p_string::from_utf8(locator);
    }
    std::vector<std::string> paths(const qt::p_thumbcache& cache) {
        std::vector<std::string> out;
        for (const auto& r : cache.records()) out.push_back(qelvio::text::to_utf8(r.path));
        return out;
    }
    std::vector<std::string> stored() {
        std::vector<std::string> out;
        for (const std::string& f : listing("thumbs"))
            if (f != "index") out.push_back(f);
        return out;
    }
};

TEST_F(ThumbCache, LoadsTheIndexInFileOrder) {
    std::ofstream(root / "thumbs/index", std::ios::binary)
        << index_bytes({{u"file:\\\\\\a.jpg", u"OLM1.jpg", 5}, {u"file:\\\\\\b.jpg", u"", 0},
                        {u"file:\\\\\\c.jpg", u"OLM7.jpg", 9}});
    qt::p_thumbcache cache(u"\\thumbs");
    auto records = cache.records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].path, u"file:\\\\\\a.jpg");
    EXPECT_EQ(records[0].name, u"OLM1.jpg");
    EXPECT_EQ(records[0].time, 5u);
    EXPECT_EQ(records[2].name, u"OLM7.jpg");
    EXPECT_EQ(records[1].image, nullptr);
}

TEST_F(ThumbCache, DamagedIndexesLoadWhatIsWhole) {
    std::string good = index_bytes({{u"file:\\\\\\a.jpg", u"OLM1.jpg", 5}, {u"file:\\\\\\b.jpg", u"OLM2.jpg", 6}});
    struct Case {
        std::string bytes;
        std::size_t records;
    } cases[] = {
        {index_bytes({{u"file:\\\\\\a.jpg", u"OLM1.jpg", 5}}, 1), 0},  // another version
        {good.substr(0, good.size() - 10), 1},                       // cut inside the second entry
        {good.substr(0, 2) + std::string("\xFF\xFF\xFF\x7F", 4) + good.substr(6), 0},  // absurd length
        {"", 0},
    };
    for (const Case& c : cases) {
        std::ofstream(root / "thumbs/index", std::ios::binary | std::ios::trunc) << c.bytes;
        qt::p_thumbcache cache(u"\\thumbs");
        EXPECT_EQ(cache.records().size(), c.records);
    }
    // A name that leads out of the folder is not taken.
    make_file("victim.txt", "keep me");
    std::ofstream(root / "thumbs/index", std::ios::binary | std::ios::trunc)
        << index_bytes({{u"file:\\\\\\a.jpg", u"..\\victim.txt", 5}});
    qt::p_thumbcache cache(u"\\thumbs");
    EXPECT_EQ(cache.records()[0].name, u"");
    EXPECT_EQ(cache.save(false, false), 0);
    EXPECT_EQ(read("victim.txt"), "keep me");
}

TEST_F(ThumbCache, OneImagePerPathInRecentlyUsedOrder) {
    qt::p_thumbcache cache(u"\\thumbs");
    p_string a = picture("a.jpg"), b = picture("b.jpg");
    qd::p_ImageSource* image_a = cache.getimage(a);
    qd::p_ImageSource* image_b = cache.getimage(b);
    EXPECT_NE(image_a, image_b);
    EXPECT_EQ(cache.getimage(a), image_a);
    EXPECT_EQ(paths(cache), (std::vector<std::string>{"file:\\\\\\pics\\a.jpg", "file:\\\\\\pics\\b.jpg"}));
}

// The file system keeps letter case, so a.jpg and A.jpg are two images with
// two thumbnails; forgetting one leaves the other.
TEST_F(ThumbCache, LetterCaseMakesTwoImages) {
    p_string lower = picture("a.jpg");
    std::string red = "convert -size 60x80 xc:red -quality 90 '" + (root / "pics/A.jpg").string() + "'";
    ASSERT_EQ(std::system(red.c_str()), 0);
    p_string upper(u"file:\\\\\\pics\\A.jpg");
    qt::p_thumbcache cache(u"\\thumbs");
    qd::p_ImageSource* image_lower = cache.getimage(lower);
    qd::p_ImageSource* image_upper = cache.getimage(upper);
    ASSERT_NE(image_lower, image_upper);
    ASSERT_EQ(image_lower->thumbnail(), 0);
    ASSERT_EQ(image_upper->thumbnail(), 0);
    EXPECT_EQ(qelvio::imaging::DibWidth(*image_lower->thumbnail_bitmap()), 64);  // 80 x 60 navy
    EXPECT_EQ(qelvio::imaging::DibWidth(*image_upper->thumbnail_bitmap()), 48);  // 60 x 80 red
    ASSERT_EQ(cache.save(true, false), 0);
    EXPECT_EQ(stored(), (std::vector<std::string>{"OLM1.jpg", "OLM2.jpg"}));
    EXPECT_EQ(command_output("identify -format '%wx%h' '" + (root / "thumbs/OLM1.jpg").string() + "'"), "48x64");
    p_irl upper_irl;
    upper_irl.p_string::operator=(upper);
    cache.forget(upper_irl);
    auto records = cache.records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].name, u"");          // A.jpg
    EXPECT_EQ(records[1].name, u"OLM2.jpg");  // a.jpg
}

TEST_F(ThumbCache, TheWindowOf64ReleasesDecodedData) {
    qt::p_thumbcache cache(u"\\thumbs");
    std::vector<qd::p_ImageSource*> images;
    std::vector<p_string> locators;
    for (int i = 0; i < 80; ++i) {
        locators.push_back(picture("p" + std::to_string(i) + ".jpg"));
        images.push_back(cache.getimage(locators.back()));
        ASSERT_EQ(images.back()->thumbnail(), 0);
    }
    // Head is p79; p16 sits at 63 and p15 at 64.
    for (int i = 0; i < 80; ++i) EXPECT_EQ(images[i]->thumbnail_bitmap() != nullptr, i >= 16) << i;
    cache.getimage(locators[10]);  // position 69: p16 moves from 63 to 64
    EXPECT_EQ(images[16]->thumbnail_bitmap(), nullptr);
    EXPECT_NE(images[17]->thumbnail_bitmap(), nullptr);
    cache.getimage(locators[70]);  // position 10: nothing is released
    EXPECT_NE(images[17]->thumbnail_bitmap(), nullptr);
}

// With room for more stored thumbnails than the window of 64, a folder of
// 100 images keeps all of them: a thumbnail made for an image that left the
// window before the save is stored too, and a second visit after a restart
// decodes nothing. Images beyond the window still hold no decoded data.
TEST_F(ThumbCache, StoredCountBeyondTheWindow) {
    std::vector<p_string> locators;
    for (int i = 0; i < 100; ++i) locators.push_back(picture("p" + std::to_string(i) + ".jpg"));
    {
        qt::p_thumbcache cache(u"\\thumbs", {}, qt::kDesktopStored);
        std::vector<qd::p_ImageSource*> images;
        for (const p_string& l : locators) {
            images.push_back(cache.getimage(l));
            ASSERT_EQ(images.back()->thumbnail(), 0);
        }
        EXPECT_EQ(images[35]->thumbnail_bitmap(), nullptr);  // position 64
        EXPECT_NE(images[36]->thumbnail_bitmap(), nullptr);  // position 63
        ASSERT_EQ(cache.save(true, false), 0);
        EXPECT_EQ(stored().size(), 100u);
    }
    qt::p_thumbcache restarted(u"\\thumbs", {}, qt::kDesktopStored);
    ASSERT_EQ(restarted.records().size(), 100u);
    int from_store = 0;
    std::vector<qd::p_ImageSource*> images;
    for (const p_string& l : locators) {
        images.push_back(restarted.getimage(l));
        ASSERT_EQ(images.back()->thumbnail(), 0);
        from_store += images.back()->thumbnail_from_store();
    }
    EXPECT_EQ(from_store, 100);
    EXPECT_EQ(images[0]->thumbnail_bitmap(), nullptr);
    // The default keeps the handheld's 64.
    qt::p_thumbcache handheld(u"\\thumbs");
    ASSERT_EQ(handheld.save(false, false), 0);
    EXPECT_EQ(stored().size(), 64u);
    EXPECT_EQ(qt::p_thumbcache(u"\\thumbs").records().size(), 64u);
}

// A stored thumbnail that cannot be read (cut short, or emptied) gives way
// to one decoded from the image; the next save stores that one under a new
// name and sweeps the damaged file.
TEST_F(ThumbCache, DamagedStoredThumbnailIsMadeAgain) {
    p_string a = picture("a.jpg");
    {
        qt::p_thumbcache cache(u"\\thumbs");
        ASSERT_EQ(cache.getimage(a)->thumbnail(), 0);
        ASSERT_EQ(cache.save(true, false), 0);
    }
    const std::string good = read("thumbs/OLM1.jpg");
    for (std::size_t keep : {std::size_t{0}, std::size_t{100}}) {
        SCOPED_TRACE(keep);
        std::string current = stored()[0];
        std::filesystem::resize_file(root / "thumbs" / current, keep);
        {
            qt::p_thumbcache cache(u"\\thumbs");
            qd::p_ImageSource* image = cache.getimage(a);
            ASSERT_EQ(image->thumbnail(), 0);
            EXPECT_FALSE(image->thumbnail_from_store());
            EXPECT_EQ(qelvio::imaging::DibWidth(*image->thumbnail_bitmap()), 64);
            ASSERT_EQ(cache.save(true, false), 0);
            ASSERT_EQ(stored().size(), 1u);
            EXPECT_NE(stored()[0], current);
            EXPECT_EQ(cache.records()[0].name, qelvio::text::to_utf16(stored()[0]));
            EXPECT_EQ(read("thumbs/" + stored()[0]), good);
        }
        qt::p_thumbcache restarted(u"\\thumbs");
        qd::p_ImageSource* image = restarted.getimage(a);
        ASSERT_EQ(image->thumbnail(), 0);
        EXPECT_TRUE(image->thumbnail_from_store());
    }
}

// A damaged index naming one file for two images: only the first keeps it.
TEST_F(ThumbCache, DuplicateNamesInTheIndex) {
    p_string a = picture("a.jpg"), b = picture("b.jpg");
    std::ofstream(root / "thumbs/index", std::ios::binary)
        << index_bytes({{a.view().data(), u"OLM1.jpg", 0}, {b.view().data(), u"olm1.JPG", 0}});
    make_file("thumbs/OLM1.jpg", "x");
    qt::p_thumbcache cache(u"\\thumbs");
    auto records = cache.records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].name, u"OLM1.jpg");
    EXPECT_EQ(records[1].name, u"");
    EXPECT_TRUE(cache.getimage(b)->thumbnail_locator().isempty());
}

TEST_F(ThumbCache, SaveTrimsTo64AndSurvivesARestart) {
    std::vector<Entry> entries;
    for (int i = 1; i <= 80; ++i) {
        std::u16string name = u"OLM" + qelvio::text::to_utf16(std::to_string(i)) + u".jpg";
        entries.push_back({u"file:\\\\\\pics\\x" + qelvio::text::to_utf16(std::to_string(i)) + u".jpg", name, 0});
        make_file("thumbs/" + qelvio::text::to_utf8(name), "jpeg");
    }
    std::ofstream(root / "thumbs/index", std::ios::binary) << index_bytes(entries);
    {
        qt::p_thumbcache cache(u"\\thumbs");
        ASSERT_EQ(cache.records().size(), 80u);
        ASSERT_EQ(cache.save(false, false), 0);
        EXPECT_EQ(stored().size(), 64u);
        EXPECT_FALSE(exists("thumbs/OLM65.jpg"));
        EXPECT_TRUE(exists("thumbs/OLM64.jpg"));
    }
    qt::p_thumbcache restarted(u"\\thumbs");
    auto records = restarted.records();
    ASSERT_EQ(records.size(), 64u);
    EXPECT_EQ(records[0].path, u"file:\\\\\\pics\\x1.jpg");
    EXPECT_EQ(records[63].name, u"OLM64.jpg");
}

TEST_F(ThumbCache, NewThumbnailsTakeTheFirstFreeName) {
    p_string a = picture("a.jpg"), b = picture("b.jpg"), c = picture("c.jpg");
    std::ofstream(root / "thumbs/index", std::ios::binary)
        << index_bytes({{a.view().data(), u"OLM1.jpg", 0}, {b.view().data(), u"OLM2.jpg", 0}});
    make_file("thumbs/OLM1.jpg", "x");
    make_file("thumbs/OLM2.jpg", "y");
    make_file("thumbs/olm99.jpg", "stale");
    make_file("thumbs/thumb.jpg", "not ours");
    qt::p_thumbcache cache(u"\\thumbs");
    ASSERT_EQ(cache.getimage(c)->thumbnail(), 0);
    ASSERT_EQ(cache.save(true, false), 0);
    EXPECT_EQ(cache.records()[0].name, u"OLM3.jpg");
    EXPECT_EQ(stored(), (std::vector<std::string>{"OLM1.jpg", "OLM2.jpg", "OLM3.jpg", "thumb.jpg"}));
    EXPECT_EQ(command_output("identify -format '%wx%h %Q' '" + (root / "thumbs/OLM3.jpg").string() + "'"),
              "64x48 90");
}

TEST_F(ThumbCache, StoredThumbnailIsUsedUntilTheFileChanges) {
    p_string a = picture("a.jpg");
    {
        qt::p_thumbcache cache(u"\\thumbs");
        ASSERT_EQ(cache.getimage(a)->thumbnail(), 0);
        ASSERT_EQ(cache.save(true, false), 0);
    }
    {
        qt::p_thumbcache cache(u"\\thumbs");
        qd::p_ImageSource* image = cache.getimage(a);
        EXPECT_EQ(image->thumbnail_locator().utf8(), "file:\\\\\\thumbs\\OLM1.jpg");
    }
    std::filesystem::last_write_time(root / "pics/a.jpg",
                                     std::filesystem::last_write_time(root / "pics/a.jpg") + std::chrono::seconds(3));
    qt::p_thumbcache cache(u"\\thumbs");
    qd::p_ImageSource* image = cache.getimage(a);
    EXPECT_TRUE(image->thumbnail_locator().isempty());
    EXPECT_EQ(cache.records()[0].name, u"");
}

TEST_F(ThumbCache, ForgetDropsTheStoredThumbnailAtTheNextSave) {
    p_string a = picture("a.jpg");
    qt::p_thumbcache cache(u"\\thumbs");
    qd::p_ImageSource* image = cache.getimage(a);
    ASSERT_EQ(image->thumbnail(), 0);
    ASSERT_EQ(cache.save(true, false), 0);
    ASSERT_TRUE(exists("thumbs/OLM1.jpg"));
    p_irl irl;
    irl.p_string::operator=(a);
    cache.forget(irl);
    EXPECT_EQ(image->thumbnail_bitmap(), nullptr);
    EXPECT_EQ(cache.records()[0].name, u"");
    EXPECT_TRUE(exists("thumbs/OLM1.jpg"));
    ASSERT_EQ(cache.save(false, false), 0);
    EXPECT_FALSE(exists("thumbs/OLM1.jpg"));
}

TEST_F(ThumbCache, RepathFollowsFolderRenames) {
    qt::p_thumbcache cache(u"\\thumbs");
    qd::p_ImageSource* x = cache.getimage(picture("A/x.jpg"));
    qd::p_ImageSource* other = cache.getimage(picture("AB/y.jpg"));
    p_irl from, to;
    from.p_string::operator=(u"file:\\\\\\pics\\A");
    to.p_string::operator=(u"file:\\\\\\pics\\B");
    cache.repath(from, to);
    EXPECT_EQ(x->locator().utf8(), "file:\\\\\\pics\\B\\x.jpg");
    EXPECT_EQ(other->locator().utf8(), "file:\\\\\\pics\\AB\\y.jpg");  // only inside the folder
    EXPECT_EQ(cache.getimage(p_string(u"file:\\\\\\pics\\B\\x.jpg")), x);
}

// Lookups go through an index of paths: it must give the same answers as
// the list, across thousands of records, renames onto a path another record
// holds, and forgotten images.
TEST_F(ThumbCache, PathIndexFollowsRepathAndForget) {
    qt::p_thumbcache cache(u"\\thumbs");
    std::vector<qd::p_ImageSource*> images;
    for (int i = 0; i < 3000; ++i)
        images.push_back(cache.getimage(p_string::from_utf8("file:\\\\\\pics\\n" + std::to_string(i) + ".jpg")));
    for (int i : {0, 1234, 2999}) EXPECT_EQ(cache.getimage(p_string::from_utf8("file:\\\\\\pics\\n" + std::to_string(i) + ".jpg")), images[i]) << i;
    EXPECT_EQ(cache.records().size(), 3000u);
    // n5 is renamed to n6's name while n6's record still exists (its file
    // was replaced): the record nearer the head answers, as before the index.
    cache.getimage(p_string(u"file:\\\\\\pics\\n6.jpg"));
    cache.getimage(p_string(u"file:\\\\\\pics\\n5.jpg"));
    p_irl from, to;
    from.p_string::operator=(u"file:\\\\\\pics\\n5.jpg");
    to.p_string::operator=(u"file:\\\\\\pics\\n6.jpg");
    cache.repath(from, to);
    EXPECT_EQ(cache.getimage(p_string(u"file:\\\\\\pics\\n6.jpg")), images[5]);
    // The old name is free again: a new image, not the moved one.
    qd::p_ImageSource* fresh = cache.getimage(p_string(u"file:\\\\\\pics\\n5.jpg"));
    EXPECT_NE(fresh, images[5]);
    EXPECT_EQ(cache.records().size(), 3001u);
    // Forget keeps the record findable by its path.
    cache.forget(to);
    EXPECT_EQ(cache.getimage(p_string(u"file:\\\\\\pics\\n6.jpg")), images[5]);
    EXPECT_EQ(cache.records().size(), 3001u);
}

TEST_F(ThumbCache, FileTreeRenamesReachTheCache) {
    qt::p_thumbcache cache(u"\\thumbs");
    mcp->setcachehooks(&cache);
    p_string a = picture("a.jpg");
    qd::p_ImageSource* image = cache.getimage(a);
    ASSERT_EQ(node(u"\\pics\\a.jpg")->rename(u"renamed.jpg"), P_OK);
    EXPECT_EQ(image->locator().utf8(), "file:\\\\\\pics\\renamed.jpg");
    ASSERT_EQ(image->thumbnail(), 0);  // the image still finds its file
    mcp->setcachehooks(nullptr);
}

TEST_F(ThumbCache, StoppedBackgroundSaveStillWritesTheIndex) {
    qt::p_thumbcache cache(u"\\thumbs");
    for (int i = 0; i < 40; ++i) ASSERT_EQ(cache.getimage(picture("s" + std::to_string(i) + ".jpg"))->thumbnail(), 0);
    ASSERT_EQ(cache.save(true, true), 0);
    cache.stopsave();
    for (const auto& r : cache.records()) {
        if (!r.name.empty()) {
            EXPECT_TRUE(exists("thumbs/" + qelvio::text::to_utf8(r.name)));
        }
    }
    ASSERT_TRUE(exists("thumbs/index"));
    qt::p_thumbcache restarted(u"\\thumbs");
    EXPECT_EQ(restarted.records().size(), 40u);
    // A later save writes what the stopped one left out.
    ASSERT_EQ(cache.save(true, false), 0);
    for (const auto& r : cache.records()) EXPECT_FALSE(r.name.empty());
}

}  // namespace
