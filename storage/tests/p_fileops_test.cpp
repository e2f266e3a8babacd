// Copying and moving between nodes, export, import and the file stream.
#include "device_fixture.h"
#include "scripted_prompt.h"

#include "qelvio/p_devicestore.h"
#include "qelvio/p_fileops.h"
#include "qelvio/p_filestream.h"

#include <deque>

namespace {

// The same device under another scheme: its nodes live in another tree, so
// copies between the two go through the byte copy.
struct OtherStore : p_devicestore {
    OtherStore() { scheme = u"other"; }
};

class FileOps : public DeviceFixture {
protected:
    p_filenode* other_node(const char16_t* device_path) {
        p_irl irl;
        irl.set(u"other", u"", device_path);
        p_filenode* found = nullptr;
        return mcp->openfile(irl, &found) == P_OK ? found : nullptr;
    }
};

TEST_F(FileOps, CopyOntoItsOwnFolderNamesTheCopy) {
    make_file("d/a.jpg", "abc");
    p_filenode* a = node(u"\\d\\a.jpg");
    p_filenode* d = a->getparent();
    for (int i = 0; i < 3; ++i) ASSERT_EQ(p_copywithprompts(d, a, false, nullptr, nullptr), P_OK);
    EXPECT_EQ(listing("d"), (std::vector<std::string>{"Copy (2) of a.jpg", "Copy (3) of a.jpg",
                                                      "Copy of a.jpg", "a.jpg"}));
    EXPECT_EQ(read("d/Copy (3) of a.jpg"), "abc");
    EXPECT_EQ(p_copywithprompts(d, a, true, nullptr, nullptr), P_FAILED);
    EXPECT_TRUE(exists("d/a.jpg"));
}

TEST_F(FileOps, PromptAnswers) {
    struct Case {
        std::deque<int> answers;
        int32_t result;
        std::string target_content;
    };
    const Case cases[] = {
        {{P_ANSWER_YES}, P_OK, "new"},
        {{P_ANSWER_YESTOALL}, P_OK, "new"},
        {{P_ANSWER_NO}, P_OK, "old"},
        {{P_ANSWER_NOTOALL}, P_OK, "old"},
        {{P_ANSWER_CANCEL}, P_CANCELLED, "old"},
        {{P_ANSWER_DISMISSED}, P_ALREADY_EXISTS, "old"},
    };
    for (const Case& c : cases) {
        make_file("src/a.jpg", "new");
        make_file("dst/a.jpg", "old");
        ScriptedPrompt prompt(c.answers);
        EXPECT_EQ(p_copywithprompts(node(u"\\dst"), node(u"\\src\\a.jpg"), false, &prompt, nullptr),
                  c.result);
        EXPECT_EQ(read("dst/a.jpg"), c.target_content);
        EXPECT_EQ(prompt.last_source, "file:\\\\\\src\\a.jpg");
        EXPECT_EQ(prompt.last_existing, "file:\\\\\\dst\\a.jpg");
    }
}

TEST_F(FileOps, NoToAllSkipsLaterClashesSilently) {
    for (const char* f : {"src/1.jpg", "src/2.jpg", "src/3.jpg", "dst/1.jpg", "dst/2.jpg"})
        make_file(f, std::string(f).substr(0, 3));
    ScriptedPrompt prompt({P_ANSWER_NOTOALL});
    p_filenode* dst = node(u"\\dst");
    for (const char16_t* name : {u"\\src\\1.jpg", u"\\src\\2.jpg", u"\\src\\3.jpg"})
        EXPECT_EQ(p_copywithprompts(dst, node(name), false, &prompt, nullptr), P_OK);
    EXPECT_EQ(prompt.shown, 1);
    EXPECT_EQ(read("dst/2.jpg"), "dst");
    EXPECT_EQ(read("dst/3.jpg"), "src");
}

TEST_F(FileOps, MoveWithinTheTree) {
    make_file("src/a.jpg", "abc");
    make_folder("dst");
    p_filenode* a = node(u"\\src\\a.jpg");
    ASSERT_EQ(p_copywithprompts(node(u"\\dst"), a, true, nullptr, u"b.jpg"), P_OK);
    EXPECT_FALSE(exists("src/a.jpg"));
    EXPECT_EQ(read("dst/b.jpg"), "abc");
    EXPECT_EQ(a->getparent(), node(u"\\dst"));
}

TEST_F(FileOps, ByteCopyBetweenTrees) {
    OtherStore other;
    other.registerstore(true);
    make_file("src/a.jpg", std::string(100000, 'q'));
    make_file("src/empty.jpg", "");
    make_folder("dst");
    p_filenode* dst = other_node(u"\\dst");
    ASSERT_NE(dst, nullptr);
    ASSERT_NE(dst->gettree(), node(u"\\src")->gettree());
    EXPECT_EQ(p_copyintofolder(dst, node(u"\\src\\a.jpg"), nullptr, false), P_OK);
    EXPECT_EQ(read("dst/a.jpg"), std::string(100000, 'q'));
    EXPECT_EQ(p_copyintofolder(dst, node(u"\\src\\empty.jpg"), nullptr, true), P_OK);
    EXPECT_EQ(read("dst/empty.jpg"), "");
    EXPECT_FALSE(exists("src/empty.jpg"));
    EXPECT_EQ(p_copyintofolder(dst, node(u"\\src\\a.jpg"), nullptr, false), P_ALREADY_EXISTS);
    other.registerstore(false);
}

TEST_F(FileOps, FailedByteCopyLeavesNoChild) {
    OtherStore other;
    other.registerstore(true);
    make_file("src/a.jpg", std::string(100000, 'q'));
    make_folder("dst");
    p_filenode* dst = other_node(u"\\dst");
    p_filenode* a = node(u"\\src\\a.jpg");
    for (bool fail_reads : {false, true}) {
        qelvio::platform::FaultPlan plan;
        (fail_reads ? plan.fail_read_after : plan.fail_write_after) = 40000;
        qelvio::platform::set_fault_plan(plan);
        EXPECT_EQ(p_copyintofolder(dst, a, nullptr, true), P_FAILED);
        qelvio::platform::clear_fault_plan();
        EXPECT_TRUE(listing("dst").empty());
        EXPECT_EQ(dst->getchild(u"a.jpg", false), nullptr);
        EXPECT_TRUE(exists("src/a.jpg"));  // a failed move keeps the source
    }
    other.registerstore(false);
}

TEST_F(FileOps, ExportAndImport) {
    make_file("a.jpg", "abc");
    make_file("incoming.jpg", "new content");
    p_filenode* a = node(u"\\a.jpg");
    EXPECT_EQ(p_export(a, u"\\exported.jpg"), P_OK);
    EXPECT_EQ(read("exported.jpg"), "abc");
    EXPECT_EQ(p_import(a, u"\\incoming.jpg", false), P_OK);
    EXPECT_EQ(read("a.jpg"), "new content");
    EXPECT_TRUE(exists("incoming.jpg"));
    make_file("incoming2.jpg", "moved");
    EXPECT_EQ(p_import(a, u"\\incoming2.jpg", true), P_OK);
    EXPECT_EQ(read("a.jpg"), "moved");
    EXPECT_FALSE(exists("incoming2.jpg"));
    EXPECT_EQ(p_import(a, u"\\missing.jpg", true), P_CANNOT_ACCESS);
    EXPECT_EQ(read("a.jpg"), "moved");

    p_string local;
    EXPECT_TRUE(p_localpath(a, local));
    EXPECT_EQ(local.utf8(), "\\a.jpg");
}

TEST_F(FileOps, ExportThroughAnotherStoreDeletesAPartialTarget) {
    OtherStore other;
    other.registerstore(true);
    make_file("a.jpg", std::string(70000, 'z'));
    p_filenode* a = other_node(u"\\a.jpg");
    p_string local;
    EXPECT_FALSE(p_localpath(a, local));
    EXPECT_EQ(p_export(a, u"\\out.jpg"), P_OK);
    EXPECT_EQ(read("out.jpg"), std::string(70000, 'z'));
    qelvio::platform::set_fault_plan({-1, 50000, qelvio::platform::error_disk_full});
    EXPECT_EQ(p_export(a, u"\\out2.jpg"), P_FAILED);
    qelvio::platform::clear_fault_plan();
    EXPECT_FALSE(exists("out2.jpg"));
    other.registerstore(false);
}

class FileStream : public DeviceFixture {
protected:
    void SetUp() override {
        DeviceFixture::SetUp();
        make_file("photo.jpg", "original");
    }
    // Files left in the temporary folder.
    std::vector<std::string> temporaries() {
        return std::filesystem::exists(root / "Windows/Temp") ? listing("Windows/Temp")
                                                              : std::vector<std::string>{};
    }
};

TEST_F(FileStream, CommitReplacesTheContent) {
    p_filestream stream(node(u"\\photo.jpg"));
    EXPECT_EQ(stream.size(), 8);
    ASSERT_EQ(stream.open(0), P_OK);
    ASSERT_EQ(stream.open(1), P_OK);
    EXPECT_EQ(stream.open(1), P_INVALID_LOCATION);
    std::string tmp = qelvio::text::to_utf8(stream.temporarypath());
    EXPECT_EQ(tmp.rfind("\\Windows\\Temp\\OLM", 0), 0u) << tmp;
    char buffer[8];
    ASSERT_EQ(stream.read(0, buffer, 4), 4);
    EXPECT_EQ(stream.write(buffer, 4), 4);
    EXPECT_EQ(stream.write("!", 1), 1);
    EXPECT_EQ(stream.tell(1), 5);
    EXPECT_EQ(stream.tell(0), 4);
    // The write side cannot be committed while the read side is open.
    EXPECT_EQ(stream.close(1, true), P_CANNOT_ACCESS);
    EXPECT_EQ(stream.write("?", 1), 1);  // still open
    ASSERT_EQ(stream.close(0), P_OK);
    ASSERT_EQ(stream.close(1, true), P_OK);
    EXPECT_EQ(read("photo.jpg"), "orig!?");
    EXPECT_TRUE(temporaries().empty());
}

TEST_F(FileStream, WithoutCommitNothingChanges) {
    {
        p_filestream stream(node(u"\\photo.jpg"));
        ASSERT_EQ(stream.open(1), P_OK);
        stream.write("junk", 4);
        EXPECT_EQ(stream.close(1, false), P_OK);
    }
    {
        p_filestream abandoned(node(u"\\photo.jpg"));
        ASSERT_EQ(abandoned.open(1), P_OK);
        abandoned.write("junk", 4);
    }  // destroyed with the write side open
    EXPECT_EQ(read("photo.jpg"), "original");
    EXPECT_TRUE(temporaries().empty());
}

TEST_F(FileStream, FailedWriteLeavesTheFileAsItWas) {
    p_filestream stream(node(u"\\photo.jpg"));
    ASSERT_EQ(stream.open(1), P_OK);
    qelvio::platform::set_fault_plan({-1, 3, qelvio::platform::error_disk_full});
    EXPECT_EQ(stream.write("abcdef", 6), 3);  // short
    EXPECT_EQ(stream.write("gh", 2), P_NOT_FOUND);
    qelvio::platform::clear_fault_plan();
    EXPECT_EQ(stream.close(1, false), P_OK);
    EXPECT_EQ(read("photo.jpg"), "original");
    EXPECT_TRUE(temporaries().empty());
}

TEST_F(FileStream, ReadOnlyTargetRefusesTheCommit) {
    p_filenode* photo = node(u"\\photo.jpg");
    ASSERT_EQ(photo->setfileattributes(P_ATTRIBUTE_READONLY), P_OK);
    p_filestream stream(photo);
    ASSERT_EQ(stream.open(1), P_OK);
    stream.write("new", 3);
    EXPECT_EQ(stream.close(1, true), P_NOT_FOUND);
    EXPECT_EQ(read("photo.jpg"), "original");
    EXPECT_TRUE(temporaries().empty());
}

TEST_F(FileStream, SidesMustBeOpen) {
    p_filestream stream(node(u"\\photo.jpg"));
    char c;
    EXPECT_EQ(stream.read(0, &c, 1), P_ALREADY_OPEN);
    EXPECT_EQ(stream.write("x", 1), P_ALREADY_OPEN);
    EXPECT_EQ(stream.seek(1, 1, 0), P_ALREADY_OPEN);
    EXPECT_EQ(stream.tell(0), P_ALREADY_OPEN);
    ASSERT_EQ(stream.open(0), P_OK);
    EXPECT_EQ(stream.open(0), P_INVALID_LOCATION);
    EXPECT_EQ(stream.seek(0, 7, 3), P_OK);  // an unknown origin counts from the start
    EXPECT_EQ(stream.tell(0), 3);
}

}  // namespace
