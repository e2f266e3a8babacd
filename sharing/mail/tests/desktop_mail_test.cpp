// Handing a message to the desktop's mail program: the command run (here a
// stand-in script that records its arguments), the attachment copies it is
// given, and what is left behind when it succeeds or fails.
#include "sharing/mail/desktop_mail.h"
#include "sharing/mail/mail_sender.h"

#include "storage/tests/command_output.h"
#include "storage/tests/device_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>

namespace qelvio::sharing {
namespace {

namespace fsys = std::filesystem;

struct NoQuestions : platform::UserQuestion {
    int asked = 0;
    int ask_yes_no_cancel(int) override { return ++asked, platform::kAnswerNo; }
    int ask(int, std::u16string_view, int) override { return ++asked, platform::kAnswerNo; }
};

class DesktopMail : public DeviceFixture {
protected:
    void SetUp() override {
        DeviceFixture::SetUp();
        side = root.string() + "-side";
        fsys::remove_all(side);
        fsys::create_directories(side);
        ::setenv("QELVIO_CONFIG_DIR", (side + "/config").c_str(), 1);
        make_folder("Photos");
        cache = std::make_unique<thumbnails::p_thumbcache>(u"\\Thumbs");
        mcp->setcachehooks(cache.get());
    }
    void TearDown() override {
        mcp->setcachehooks(nullptr);
        cache.reset();
        fsys::remove_all(side);
        DeviceFixture::TearDown();
    }
    // A mail program stand-in: writes each argument on a line of args.txt
    // and ends with `status`.
    std::string program(int status) {
        std::string path = side + "/fake-xdg-email";
        std::ofstream(path) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << side
                            << "/args.txt'\nexit " << status << "\n";
        fsys::permissions(path, fsys::perms::owner_all);
        return path;
    }
    std::vector<std::string> arguments() {
        std::ifstream in(side + "/args.txt");
        std::vector<std::string> out;
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }
    MailRequest request(const std::vector<std::string>& names) {
        MailRequest r;
        r.to = u"Ann <ann@example.org>; ; bob@example.net";
        r.subject = u"Harbour \u00e9t\u00e9";
        r.text = u"Two photos";
        r.reduction = 2;
        for (const auto& n : names) {
            p_irl irl;
            irl.set(u"file", u"", text::to_utf16("\\Photos\\" + n).c_str());
            r.images.push_back(irl);
        }
        return r;
    }
    std::string bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string side;
    std::unique_ptr<thumbnails::p_thumbcache> cache;
    NoQuestions question;
};

TEST_F(DesktopMail, HandsTheReducedAndUnchangedImagesToTheMailProgram) {
    std::string large = (root / "Photos" / "dsc00012.jpg").string();
    std::string small = (root / "Photos" / "tiny.jpg").string();
    command_output("convert -size 1600x1200 plasma:fractal -seed 3 -quality 90 '" + large + "'");
    command_output("convert -size 400x300 gradient:red-blue -quality 90 '" + small + "'");
    DesktopMailStore store(side + "/kept", program(0));
    MailResult result = send_mail(request({"dsc00012.jpg", "tiny.jpg"}), store, *cache, question);
    EXPECT_EQ(result.message, 35029);
    EXPECT_EQ(result.attached, 2);
    std::string kept = store.message_folder();
    std::string first = kept + "/1/dsc00012.jpg", second = kept + "/2/tiny.jpg";
    EXPECT_EQ(arguments(), (std::vector<std::string>{"--utf8", "--subject", "Harbour \u00e9t\u00e9", "--body",
                                                     "Two photos", "--attach", first, "--attach", second,
                                                     "Ann <ann@example.org>", "bob@example.net"}));
    // The copies outlive the send: the mail program reads them later.
    EXPECT_EQ(command_output("identify -format '%m %wx%h %Q' '" + first + "'"), "JPEG 576x432 50");
    EXPECT_EQ(bytes(second), bytes(small));
    // The sender's own temporary files are gone.
    EXPECT_TRUE(!exists("Windows/Temp") || listing("Windows/Temp").empty());
}

TEST_F(DesktopMail, AFailedHandOffReportsTheStoreAndKeepsNothing) {
    command_output("convert -size 40x30 xc:green '" + (root / "Photos" / "a.jpg").string() + "'");
    for (std::string prog : {program(3), side + "/no-such-program"}) {
        DesktopMailStore store(side + "/kept", prog);
        MailResult result = send_mail(request({"a.jpg"}), store, *cache, question);
        EXPECT_EQ(result.message, 35034) << prog;
        EXPECT_TRUE(fsys::is_empty(side + "/kept")) << prog;
    }
    EXPECT_EQ(question.asked, 0);
}

TEST_F(DesktopMail, KeptCopiesADayOldAreRemovedAtTheNextSend) {
    std::string kept = side + "/kept";
    fsys::create_directories(kept + "/message-old/1");
    fsys::create_directories(kept + "/message-recent/1");
    fsys::last_write_time(kept + "/message-old", fsys::file_time_type::clock::now() - std::chrono::hours(25));
    DesktopMailStore store(kept, program(0));
    ASSERT_EQ(store.open(1), 1);
    EXPECT_FALSE(fsys::exists(kept + "/message-old"));
    EXPECT_TRUE(fsys::exists(kept + "/message-recent/1"));
}

TEST(SplitRecipients, SemicolonsAndCommasSeparateBlanksAreDropped) {
    EXPECT_EQ(split_recipients(" a@x.org ;b@y.org,, ; c <c@z.org> "),
              (std::vector<std::string>{"a@x.org", "b@y.org", "c <c@z.org>"}));
    EXPECT_TRUE(split_recipients(" ; ").empty());
}

}  // namespace
}  // namespace qelvio::sharing
