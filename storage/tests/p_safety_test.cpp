// The user's files are never lost: hostile copies, moves, renames and
// deletions, replacements that keep a file's identity, and faults injected
// at every write, flush and rename of a replacement. Each case asserts what
// is left on disk, not only the status.
#include "device_fixture.h"
#include "scripted_prompt.h"

#include "qelvio/p_fileops.h"
#include "qelvio/p_filestream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <map>

namespace fs = qelvio::platform;
namespace sfs = std::filesystem;

namespace {

// Everything under a folder: a file's bytes, "-> target" for a link, "/"
// for a folder, and " (mode 400)" after a file whose owner cannot write it.
using Files = std::map<std::string, std::string>;

Files snapshot(const sfs::path& folder, const std::string& prefix = "") {
    Files out;
    if (!sfs::exists(folder)) return out;
    for (auto it = sfs::recursive_directory_iterator(folder); it != sfs::recursive_directory_iterator(); ++it) {
        std::string name = prefix + it->path().lexically_relative(folder).string();
        if (it->is_symlink()) {
            out[name] = "-> " + sfs::read_symlink(it->path()).string();
        } else if (it->is_directory()) {
            out[name] = "/";
        } else {
            std::ifstream in(it->path(), std::ios::binary);
            std::string bytes(std::istreambuf_iterator<char>(in), {});
            struct stat st {};
            ::lstat(it->path().c_str(), &st);
            if (!(st.st_mode & S_IWUSR)) bytes += " (read-only)";
            out[name] = bytes;
        }
    }
    return out;
}

unsigned mode_of(const sfs::path& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

class Safety : public DeviceFixture {
protected:
    void SetUp() override {
        DeviceFixture::SetUp();
        outside = root.string() + "-outside";
        sfs::remove_all(outside);
        sfs::create_directories(outside);
    }
    void TearDown() override {
        DeviceFixture::TearDown();
        std::error_code ec;
        sfs::remove_all(outside, ec);
    }
    // A fresh, empty device with a new file tree.
    void reset() {
        mcp.reset();
        for (const sfs::path& folder : {root, outside}) {
            std::error_code ec;
            sfs::permissions(folder, sfs::perms::owner_all, sfs::perm_options::add, ec);
            sfs::remove_all(folder, ec);
            sfs::create_directories(folder);
        }
        mcp = std::make_unique<p_mcp>();
    }
    // The device, and what lies outside it under "OUT/".
    Files files() const {
        Files all = snapshot(root);
        for (auto& [name, content] : snapshot(outside, "OUT/")) all[name] = content;
        return all;
    }
    void make_readonly(const std::string& relative) {
        sfs::permissions(root / relative, sfs::perms::owner_read);
    }
    void make_link(const std::string& relative, const std::string& target) {
        sfs::create_directories((root / relative).parent_path());
        sfs::create_symlink(target, root / relative);
    }
    // The browser's copy or move, with the prompt answering from a script.
    int32_t copy(const char16_t* source, const char16_t* folder, bool move, const char16_t* name,
                 std::deque<int> answers = {P_ANSWER_YES}) {
        p_filenode* s = node(source);
        p_filenode* t = node(folder);
        if (!s || !t) return P_NOT_FOUND;
        ScriptedPrompt prompt(std::move(answers));
        return p_copywithprompts(t, s, move, &prompt, name);
    }
    // The node of a folder with its files listed.
    p_filenode* listed(const char16_t* folder) {
        p_filenode* n = node(folder);
        if (n) n->settrack(P_TRACK_FILES, u"*", true);
        return n;
    }

    // What is left in the temporary folder.
    std::vector<std::string> leftovers() const {
        return exists("Windows/Temp") ? listing("Windows/Temp") : std::vector<std::string>{};
    }

    sfs::path outside;
};

TEST_F(Safety, HostileCopiesMovesAndDeletions) {
    struct Case {
        const char* what;
        std::function<void()> setup;
        std::function<int32_t()> act;
        int32_t status;
        Files after;
    };
    const std::string out = outside.string();
    const Case cases[] = {
        // A copy or move onto the source itself.
        {"copy onto itself under its own name, Yes",
         [&] { make_file("d/a.jpg", "abc"); },
         [&] { return copy(u"\\d\\a.jpg", u"\\d", false, u"a.jpg"); },
         P_OK, {{"d", "/"}, {"d/a.jpg", "abc"}, {"d/Copy of a.jpg", "abc"}}},
        {"move onto itself under its own name, Yes",
         [&] { make_file("d/a.jpg", "abc"); },
         [&] { return copy(u"\\d\\a.jpg", u"\\d", true, u"a.jpg"); },
         P_ALREADY_EXISTS, {{"d", "/"}, {"d/a.jpg", "abc"}}},
        {"copy onto itself in another case makes a second file",
         [&] { make_file("d/a.jpg", "abc"); },
         [&] { return copy(u"\\d\\a.jpg", u"\\d", false, u"A.JPG"); },
         P_OK, {{"d", "/"}, {"d/a.jpg", "abc"}, {"d/A.JPG", "abc"}}},
        {"copy into a link to its own folder, Yes",
         [&] { make_file("d/a.jpg", "abc"); make_link("l", "d"); },
         [&] { return copy(u"\\d\\a.jpg", u"\\l", false, nullptr); },
         P_OK, {{"d", "/"}, {"d/a.jpg", "abc"}, {"d/Copy of a.jpg", "abc"}, {"l", "-> d"}}},
        {"move into a link to its own folder, Yes",
         [&] { make_file("d/a.jpg", "abc"); make_link("l", "d"); },
         [&] { return copy(u"\\d\\a.jpg", u"\\l", true, nullptr); },
         P_ALREADY_EXISTS, {{"d", "/"}, {"d/a.jpg", "abc"}, {"l", "-> d"}}},
        {"copy of a link onto the file it points to, Yes",
         [&] { make_file("d/a.jpg", "abc"); make_link("e/a.jpg", "../d/a.jpg"); },
         [&] { return copy(u"\\e\\a.jpg", u"\\d", false, nullptr); },
         P_OK, {{"d", "/"}, {"d/a.jpg", "abc"}, {"d/Copy of a.jpg", "abc"}, {"e", "/"}, {"e/a.jpg", "-> ../d/a.jpg"}}},
        {"move of a hard link onto its other name, Yes",
         [&] { make_file("d/a.jpg", "abc"); make_folder("e"); sfs::create_hard_link(root / "d/a.jpg", root / "e/a.jpg"); },
         [&] { return copy(u"\\e\\a.jpg", u"\\d", true, nullptr); },
         P_ALREADY_EXISTS, {{"d", "/"}, {"d/a.jpg", "abc"}, {"e", "/"}, {"e/a.jpg", "abc"}}},

        // Names that are paths, and deleting exactly the node the prompt named.
        {"a name with a backslash, Yes",
         [&] { make_file("S/s.jpg", "new"); make_file("T/x/y.jpg", "deep"); make_file("T/y.jpg", "flat"); },
         [&] { return copy(u"\\S\\s.jpg", u"\\T", false, u"x\\y.jpg"); },
         P_INVALID_NAME, {{"S", "/"}, {"S/s.jpg", "new"}, {"T", "/"}, {"T/x", "/"}, {"T/x/y.jpg", "deep"}, {"T/y.jpg", "flat"}}},
        {"a move named with a backslash, Yes",
         [&] { make_file("S/s.jpg", "new"); make_file("T/x/y.jpg", "deep"); make_file("T/y.jpg", "flat"); },
         [&] { return copy(u"\\S\\s.jpg", u"\\T", true, u"x\\y.jpg"); },
         P_INVALID_NAME, {{"S", "/"}, {"S/s.jpg", "new"}, {"T", "/"}, {"T/x", "/"}, {"T/x/y.jpg", "deep"}, {"T/y.jpg", "flat"}}},
        {"copy named ..",
         [&] { make_file("S/s.jpg", "new"); make_file("T/t.jpg", "t"); },
         [&] { return copy(u"\\S\\s.jpg", u"\\T", false, u".."); },
         P_INVALID_NAME, {{"S", "/"}, {"S/s.jpg", "new"}, {"T", "/"}, {"T/t.jpg", "t"}}},
        {"move named with a slash",
         [&] { make_file("S/s.jpg", "new"); make_folder("T/x"); },
         [&] { return copy(u"\\S\\s.jpg", u"\\T", true, u"x/s.jpg"); },
         P_INVALID_NAME, {{"S", "/"}, {"S/s.jpg", "new"}, {"T", "/"}, {"T/x", "/"}}},
        {"rename to a path",
         [&] { make_file("T/y.jpg", "flat"); make_file("T/x/y.jpg", "deep"); },
         [&] {
             int32_t a = node(u"\\T\\y.jpg")->rename(u"x\\y.jpg");
             int32_t b = node(u"\\T\\y.jpg")->rename(u"..");
             return a == b ? a : P_FAILED;
         },
         P_INVALID_NAME, {{"T", "/"}, {"T/x", "/"}, {"T/x/y.jpg", "deep"}, {"T/y.jpg", "flat"}}},
        {"new folder named . or with a backslash",
         [&] { make_folder("T"); },
         [&] {
             P_CREATEFILESTRUCT a, b;
             a.isdirectory = b.isdirectory = true;
             a.name[0] = u'.';
             std::u16string n = u"x\\y";
             std::copy(n.begin(), n.end(), b.name);
             int32_t first = node(u"\\T")->createchild(&a);
             return first == node(u"\\T")->createchild(&b) ? first : P_FAILED;
         },
         P_INVALID_NAME, {{"T", "/"}}},
        {"Yes deletes exactly the clashing file, not one of a path",
         [&] { make_file("S/s.jpg", "new"); make_file("T/x/y.jpg", "deep"); make_file("T/y.jpg", "flat"); },
         [&] { return copy(u"\\S\\s.jpg", u"\\T", false, u"y.jpg"); },
         P_OK, {{"S", "/"}, {"S/s.jpg", "new"}, {"T", "/"}, {"T/x", "/"}, {"T/x/y.jpg", "deep"}, {"T/y.jpg", "new"}}},
        {"Yes with the disk full keeps the file it would replace",
         [&] { make_file("S/s.jpg", std::string(5000, 'n')); make_file("T/s.jpg", "old"); },
         [&] {
             fs::set_fault_plan({-1, 1000, fs::error_disk_full, -1, -1});
             int32_t status = copy(u"\\S\\s.jpg", u"\\T", false, nullptr);
             fs::clear_fault_plan();
             return status;
         },
         P_DISK_FULL, {{"S", "/"}, {"S/s.jpg", std::string(5000, 'n')}, {"T", "/"}, {"T/s.jpg", "old"}}},
        {"a move with Yes and a failing rename keeps both files",
         [&] { make_file("S/s.jpg", "new"); make_file("T/s.jpg", "old"); },
         [&] {
             fs::set_fault_plan({-1, -1, fs::error_other, -1, 0});
             int32_t status = copy(u"\\S\\s.jpg", u"\\T", true, nullptr);
             fs::clear_fault_plan();
             return status;
         },
         P_FAILED, {{"S", "/"}, {"S/s.jpg", "new"}, {"T", "/"}, {"T/s.jpg", "old"}}},
        {"a move with Yes replaces the file, keeping its mode, then removes the source",
         [&] { make_file("S/s.jpg", "new"); make_file("T/s.jpg", "old"); sfs::permissions(root / "T/s.jpg", sfs::perms::owner_read | sfs::perms::owner_write); },
         [&] {
             int32_t status = copy(u"\\S\\s.jpg", u"\\T", true, nullptr);
             return status == P_OK && mode_of(root / "T/s.jpg") == 0600u ? status : P_FAILED;
         },
         P_OK, {{"S", "/"}, {"T", "/"}, {"T/s.jpg", "new"}}},
        {"deletechild of a name that is not a tracked child",
         [&] { make_file("T/y.jpg", "flat"); },
         [&] { return node(u"\\T")->deletechild(u"y.jpg"); },
         P_NOT_FOUND, {{"T", "/"}, {"T/y.jpg", "flat"}}},
        {"deletechild of a tracked child's name in another case",
         [&] { make_file("T/y.jpg", "flat"); },
         [&] { return listed(u"\\T")->deletechild(u"Y.JPG"); },
         P_NOT_FOUND, {{"T", "/"}, {"T/y.jpg", "flat"}}},

        // Names that differ only in case are two files.
        {"both case variants are copied as themselves",
         [&] { make_file("d/a.jpg", "lower"); make_file("d/A.jpg", "upper"); make_folder("e"); },
         [&] {
             int32_t a = copy(u"\\d\\a.jpg", u"\\e", false, nullptr, {});
             int32_t b = copy(u"\\d\\A.jpg", u"\\e", false, nullptr, {});
             return a < 0 ? a : b;
         },
         P_OK, {{"d", "/"}, {"d/a.jpg", "lower"}, {"d/A.jpg", "upper"}, {"e", "/"}, {"e/a.jpg", "lower"}, {"e/A.jpg", "upper"}}},
        {"a move onto the other case variant asks, and No keeps both",
         [&] { make_file("d/a.jpg", "lower"); make_file("e/A.jpg", "upper"); },
         [&] { return copy(u"\\d\\a.jpg", u"\\e", true, u"A.jpg", {P_ANSWER_NO}); },
         P_OK, {{"d", "/"}, {"d/a.jpg", "lower"}, {"e", "/"}, {"e/A.jpg", "upper"}}},
        {"rename to another case",
         [&] { make_file("d/a.jpg", "abc"); },
         [&] { return node(u"\\d\\a.jpg")->rename(u"A.jpg"); },
         P_OK, {{"d", "/"}, {"d/A.jpg", "abc"}}},
        {"rename onto the existing other case variant",
         [&] { make_file("d/a.jpg", "lower"); make_file("d/A.jpg", "upper"); },
         [&] { return node(u"\\d\\a.jpg")->rename(u"A.jpg"); },
         P_ALREADY_EXISTS, {{"d", "/"}, {"d/a.jpg", "lower"}, {"d/A.jpg", "upper"}}},
        {"deleting one case variant keeps the other",
         [&] { make_file("d/a.jpg", "lower"); make_file("d/A.jpg", "upper"); },
         [&] { return listed(u"\\d")->deletechild(u"A.jpg"); },
         P_OK, {{"d", "/"}, {"d/a.jpg", "lower"}}},

        // Read-only files.
        {"deleting a read-only file",
         [&] { make_file("d/r.jpg", "keep"); make_readonly("d/r.jpg"); },
         [&] { return listed(u"\\d")->deletechild(u"r.jpg"); },
         P_READ_ONLY, {{"d", "/"}, {"d/r.jpg", "keep (read-only)"}}},
        {"Yes onto a read-only file",
         [&] { make_file("S/r.jpg", "new"); make_file("T/r.jpg", "keep"); make_readonly("T/r.jpg"); },
         [&] { return copy(u"\\S\\r.jpg", u"\\T", false, nullptr); },
         P_READ_ONLY, {{"S", "/"}, {"S/r.jpg", "new"}, {"T", "/"}, {"T/r.jpg", "keep (read-only)"}}},
        {"a move with Yes onto a read-only file",
         [&] { make_file("S/r.jpg", "new"); make_file("T/r.jpg", "keep"); make_readonly("T/r.jpg"); },
         [&] { return copy(u"\\S\\r.jpg", u"\\T", true, nullptr); },
         P_READ_ONLY, {{"S", "/"}, {"S/r.jpg", "new"}, {"T", "/"}, {"T/r.jpg", "keep (read-only)"}}},
        {"replacing a read-only file's content",
         [&] { make_file("S/r.jpg", "new"); make_file("T/r.jpg", "keep"); make_readonly("T/r.jpg"); },
         [&] {
             int32_t a = p_import(node(u"\\T\\r.jpg"), u"\\S\\r.jpg", false);
             int32_t b = p_import(node(u"\\T\\r.jpg"), u"\\S\\r.jpg", true);
             return a == b ? a : P_FAILED;
         },
         P_READ_ONLY, {{"S", "/"}, {"S/r.jpg", "new"}, {"T", "/"}, {"T/r.jpg", "keep (read-only)"}}},

        // Symbolic links out of the device root.
        {"a file reached through a folder link that leads out",
         [&] { std::ofstream(outside / "secret.jpg") << "secret"; make_link("out", out); },
         [&] {
             p_filenode* found = nullptr;
             p_irl irl;
             irl.set(u"file", u"", u"\\out\\secret.jpg");
             return mcp->openfile(irl, &found);
         },
         P_NOT_FOUND, {{"out", "-> " + out}, {"OUT/secret.jpg", "secret"}}},
        {"a copy into a folder link that leads out",
         [&] { make_file("d/a.jpg", "abc"); make_link("out", out); },
         [&] {
             int32_t through_tree = copy(u"\\d\\a.jpg", u"\\out", false, nullptr);
             bool platform = fs::copy_file(u"\\d\\a.jpg", u"\\out\\a.jpg", true) ||
                             fs::move_file(u"\\d\\a.jpg", u"\\out\\a.jpg");
             return platform ? P_FAILED : through_tree;
         },
         P_NOT_FOUND, {{"d", "/"}, {"d/a.jpg", "abc"}, {"out", "-> " + out}}},
        {"a file link that leads out is neither listed, read, replaced nor deleted",
         [&] { std::ofstream(outside / "secret.jpg") << "secret"; make_file("d/a.jpg", "abc");
               make_link("d/s.jpg", out + "/secret.jpg"); },
         [&] {
             bool listed_it = listed(u"\\d")->getexactchild(u"s.jpg", false) != nullptr;
             bool any = listed_it || fs::open_file(u"\\d\\s.jpg", fs::OpenMode::read_existing) ||
                        fs::replace_file(u"\\d\\a.jpg", u"\\d\\s.jpg") ||
                        fs::copy_file(u"\\d\\a.jpg", u"\\d\\s.jpg", false) || fs::delete_file(u"\\d\\s.jpg") ||
                        listed(u"\\d")->deletechild(u"s.jpg") == P_OK;
             return any ? P_FAILED : p_lasterrorstatus();
         },
         P_NOT_FOUND, {{"d", "/"}, {"d/a.jpg", "abc"}, {"d/s.jpg", "-> " + out + "/secret.jpg"}, {"OUT/secret.jpg", "secret"}}},
        {"a dangling link that leads out is not written through",
         [&] { make_link("d/new.jpg", out + "/new.jpg"); },
         [&] {
             uint32_t h = fs::open_file(u"\\d\\new.jpg", fs::OpenMode::write_truncate);
             if (h) fs::close_file(h);
             return h ? P_FAILED : p_lasterrorstatus();
         },
         P_NOT_FOUND, {{"d", "/"}, {"d/new.jpg", "-> " + out + "/new.jpg"}}},
    };
    for (const Case& c : cases) {
        reset();
        c.setup();
        EXPECT_EQ(c.act(), c.status) << c.what;
        EXPECT_EQ(files(), c.after) << c.what;
    }
}

TEST_F(Safety, CaseVariantsAreListedAndLookedUpAsThemselves) {
    make_file("d/a.jpg", "lower");
    make_file("d/A.jpg", "upper");
    make_file("d/only.jpg", "x");
    p_filenode* d = listed(u"\\d");
    std::vector<std::string> children = names(d);
    std::sort(children.begin(), children.end());
    EXPECT_EQ(children, (std::vector<std::string>{"A.jpg", "a.jpg", "only.jpg"}));
    EXPECT_EQ(d->getchild(u"A.jpg", true)->getname().utf8(), "A.jpg");
    EXPECT_EQ(d->getchild(u"a.jpg", true)->getname().utf8(), "a.jpg");
    // With two case variants a third spelling chooses neither; with one it
    // still finds the file.
    EXPECT_EQ(d->getchild(u"a.JPG", true), nullptr);
    EXPECT_EQ(d->getchild(u"ONLY.JPG", true)->getname().utf8(), "only.jpg");

    // Looked up one by one from a fresh tree, each name reaches its own file.
    mcp = std::make_unique<p_mcp>();
    EXPECT_EQ(node(u"\\d\\A.jpg")->getname().utf8(), "A.jpg");
    EXPECT_EQ(node(u"\\d\\a.jpg")->getname().utf8(), "a.jpg");
    EXPECT_EQ(node(u"\\d\\a.jpg")->getfilesize(), 5);
}

TEST_F(Safety, ReleasedNodeHasNoPath) {
    make_file("d/a.jpg", "abc");
    p_filenode* d = listed(u"\\d");
    p_filenode* a = node(u"\\d\\a.jpg");
    ASSERT_EQ(d->deletechild(u"a.jpg"), P_OK);
    ASSERT_TRUE(a->isreleased());  // kept until the queues are drained
    p_string path = u"unchanged";
    EXPECT_EQ(a->getpath(path), P_FAILED);
    EXPECT_TRUE(path.isempty());
}

// Replacing a file's content keeps what makes it that file.
TEST_F(Safety, ReplacementKeepsModeLinksAndHardLinks) {
    for (bool move : {true, false}) {
        reset();
        make_file("new.jpg", "new content");
        make_file("private.jpg", "old");
        sfs::permissions(root / "private.jpg", sfs::perms::owner_read | sfs::perms::owner_write);
        make_file("real/pic.jpg", "old");
        make_link("link.jpg", "real/pic.jpg");
        make_file("one.jpg", "old");
        sfs::create_hard_link(root / "one.jpg", root / "two.jpg");

        for (const char16_t* target : {u"\\private.jpg", u"\\link.jpg", u"\\one.jpg"}) {
            make_file("new.jpg", "new content");
            ASSERT_EQ(p_import(node(target), u"\\new.jpg", move), P_OK);
        }
        EXPECT_EQ(mode_of(root / "private.jpg"), 0600u);
        EXPECT_EQ(read("private.jpg"), "new content");
        EXPECT_TRUE(sfs::is_symlink(root / "link.jpg"));
        EXPECT_EQ(read("real/pic.jpg"), "new content");
        // A hard link is a second name of the old file: the replaced name
        // holds the new content, the other name the old content, whole.
        EXPECT_EQ(read("one.jpg"), "new content");
        EXPECT_EQ(read("two.jpg"), "old");
        EXPECT_EQ(exists("new.jpg"), !move);
        std::vector<std::string> left = listing();
        EXPECT_TRUE(std::none_of(left.begin(), left.end(), [](const std::string& n) { return n[0] == '.'; }));
        EXPECT_EQ(listing("real"), std::vector<std::string>{"pic.jpg"});
    }
}

// A fault at each write, flush and rename of a replacement (through the
// file stream, as saving and transforming use it, and through a copy over
// a file) leaves the old file or the complete new one, and no temporary
// file.
TEST_F(Safety, FaultAtEveryStepOfAReplacement) {
    const std::string old_content(70000, 'o');
    const std::string new_content(90000, 'n');
    struct Step {
        const char* what;
        fs::FaultPlan plan;
    };
    std::vector<Step> steps;
    for (int64_t bytes : {0, 1, 4095, 32000, 64000, 89999}) steps.push_back({"write", {-1, bytes, fs::error_disk_full, -1, -1}});
    for (int64_t flushes : {0, 1, 2}) steps.push_back({"flush", {-1, -1, fs::error_other, flushes, -1}});
    for (int64_t renames : {0, 1}) steps.push_back({"rename", {-1, -1, fs::error_other, -1, renames}});

    for (bool through_stream : {true, false}) {
        for (const Step& step : steps) {
            reset();
            make_file("d/pic.jpg", old_content);
            sfs::permissions(root / "d/pic.jpg", sfs::perms::owner_read | sfs::perms::owner_write);
            p_filenode* pic = node(u"\\d\\pic.jpg");
            int32_t status;
            if (through_stream) {
                p_filestream stream(pic);
                ASSERT_EQ(stream.open(1), P_OK);
                fs::set_fault_plan(step.plan);
                bool written = true;
                for (std::size_t at = 0; written && at < new_content.size(); at += 30000) {
                    uint32_t piece = static_cast<uint32_t>(std::min<std::size_t>(30000, new_content.size() - at));
                    written = stream.write(new_content.data() + at, piece) == static_cast<int32_t>(piece);
                }
                if (written) {
                    status = stream.close(1, true);
                } else {
                    stream.close(1, false);
                    status = P_FAILED;
                }
            } else {
                make_file("incoming.jpg", new_content);
                fs::set_fault_plan(step.plan);
                status = p_import(pic, u"\\incoming.jpg", false);
            }
            fs::clear_fault_plan();
            std::string what = std::string(through_stream ? "stream " : "copy ") + step.what;
            std::string now = read("d/pic.jpg");
            EXPECT_TRUE(now == old_content || now == new_content) << what << ": " << now.size() << " bytes";
            EXPECT_EQ(now == new_content, status == P_OK) << what;
            EXPECT_EQ(mode_of(root / "d/pic.jpg"), 0600u) << what;
            EXPECT_EQ(listing("d"), std::vector<std::string>{"pic.jpg"}) << what;
            EXPECT_EQ(leftovers(), std::vector<std::string>{}) << what;
        }
    }
}

}  // namespace
