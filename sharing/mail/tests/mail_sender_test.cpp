// Sending images by e-mail into a Maildir outbox, read back by Python's
// e-mail parser and the images checked with ImageMagick: unchanged copies
// byte for byte, reduced ones at the computed sizes and quality 50; the
// questions and what each answer leaves behind.
#include "sharing/mail/mail_sender.h"

#include "storage/tests/command_output.h"
#include "storage/tests/device_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>

namespace qelvio::sharing {
namespace {

namespace fsys = std::filesystem;

// Answers each question from a script (then No) and notes what was asked.
struct ScriptedQuestion : platform::UserQuestion {
    std::vector<int> answers;
    std::vector<std::pair<int, std::string>> asked;
    int ask_yes_no_cancel(int string_id) override { return ask(string_id, u"", platform::kButtonsYesNoCancel); }
    int ask(int string_id, std::u16string_view argument, int) override {
        asked.emplace_back(string_id, text::to_utf8(argument));
        if (answers.empty()) return platform::kAnswerNo;
        int answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
};

class MailSender : public DeviceFixture {
protected:
    void SetUp() override {
        DeviceFixture::SetUp();
        maildir = (root.parent_path() / (root.filename().string() + "-Maildir")).string();
        fsys::remove_all(maildir);
        ::setenv("QELVIO_CONFIG_DIR", (root / "config").c_str(), 1);
        make_folder("config");
        make_folder("Photos");
        cache = std::make_unique<thumbnails::p_thumbcache>(u"\\Thumbs");
        mcp->setcachehooks(cache.get());
    }
    void TearDown() override {
        mcp->setcachehooks(nullptr);
        cache.reset();
        fsys::remove_all(maildir);
        DeviceFixture::TearDown();
    }

    // A camera-like JPEG (Exif make, model and description) of that size.
    std::string make_jpeg(const std::string& name, int width, int height) {
        std::string path = (root / "Photos" / name).string();
        command_output("convert -size " + std::to_string(width) + "x" + std::to_string(height) +
                       " plasma:fractal -seed 3 -quality 90 '" + path + "'");
        command_output("exiftool -q -overwrite_original -Make=Canon '-Model=Canon EOS D30' "
                       "'-ImageDescription=Harbour at dusk' '" + path + "'");
        return path;
    }
    p_irl locator(const std::string& name) {
        p_irl irl;
        irl.set(u"file", u"", text::to_utf16("\\Photos\\" + name).c_str());
        return irl;
    }
    MailRequest request(int reduction, const std::vector<std::string>& names) {
        MailRequest r;
        r.to = u"Ann Example <ann@example.org>; bob@example.net";
        r.subject = u"Images from Qelvio \u00e9t\u00e9";
        r.text = u"Bonjour \u2014 two photos";
        r.reduction = reduction;
        for (const auto& n : names) r.images.push_back(locator(n));
        return r;
    }
    MailResult send(const MailRequest& r) {
        MaildirStore store(maildir, "qelvio@example.com");
        return send_mail(r, store, *cache, question);
    }
    std::vector<std::string> outbox(const std::string& sub) const {
        std::vector<std::string> names;
        if (fsys::exists(maildir + "/.Outbox/" + sub))
            for (auto& e : fsys::directory_iterator(maildir + "/.Outbox/" + sub))
                names.push_back(e.path().filename().string());
        return names;
    }
    // The parser's findings for the one message in the outbox; attachments
    // are decoded into `parts`/1, /2...
    std::map<std::string, std::string> parsed() {
        auto names = outbox("new");
        EXPECT_EQ(names.size(), 1u);
        if (names.size() != 1) return {};
        parts = root.string() + "-parts";
        fsys::remove_all(parts);
        fsys::create_directories(parts);
        std::string script = std::string(std::getenv("QELVIO_SOURCE_DIR")) + "/sharing/mail/tests/read_outbox.py";
        std::istringstream lines(command_output("python3 '" + script + "' '" + maildir + "/.Outbox/new/" +
                                                names[0] + "' '" + parts + "'"));
        std::map<std::string, std::string> found;
        for (std::string line; std::getline(lines, line);) {
            std::size_t tab = line.find('\t');
            std::string key = line.substr(0, tab);
            if (key == "attachment") {
                std::size_t tab2 = line.find('\t', tab + 1);
                key += line.substr(tab + 1, tab2 - tab - 1);
                tab = tab2;
            }
            found[key] = tab == std::string::npos ? "" : line.substr(tab + 1);
        }
        return found;
    }
    std::string identify(const std::string& n) {
        return command_output("identify -format '%m %wx%h %Q' '" + parts + "/" + n + "'");
    }
    std::vector<std::string> temporary_files() {
        return exists("Windows/Temp") ? listing("Windows/Temp") : std::vector<std::string>{};
    }

    std::string maildir, parts;
    std::unique_ptr<thumbnails::p_thumbcache> cache;
    ScriptedQuestion question;
};

TEST_F(MailSender, SmallReducesTheLargeImageAndSendsTheSmallerOneUnchanged) {
    std::string large = make_jpeg("dsc00012.jpg", 1600, 1200);
    std::string small = make_jpeg("tiny.jpg", 400, 300);
    MailResult result = send(request(2, {"dsc00012.jpg", "tiny.jpg"}));
    EXPECT_EQ(result.message, 35029);
    EXPECT_EQ(result.attached, 2);
    EXPECT_TRUE(question.asked.empty());
    auto found = parsed();
    EXPECT_EQ(found["defects"], "0");
    EXPECT_EQ(found["from"], "qelvio@example.com");
    EXPECT_EQ(found["to"], "Ann Example <ann@example.org>, bob@example.net");
    EXPECT_EQ(found["subject"], "Images from Qelvio \u00e9t\u00e9");
    EXPECT_EQ(found["date"], "yes");
    EXPECT_EQ(found["message-id"], "yes");
    EXPECT_EQ(found["body"], "utf-8\tBonjour \u2014 two photos");
    EXPECT_EQ(found["attachment1"], "dsc00012.jpg\timage/jpeg\tbase64");
    EXPECT_EQ(found["attachment2"], "tiny.jpg\timage/jpeg\tbase64");
    EXPECT_EQ(identify("1"), "JPEG 576x432 50");
    // The reduced copy keeps the image's metadata.
    EXPECT_EQ(command_output("exiftool -s3 -Model '" + parts + "/1'"), "Canon EOS D30\n");
    EXPECT_EQ(read_file(parts + "/2"), read_file(small));
    EXPECT_EQ(read_file(large).size(), fsys::file_size(large));  // the originals stay
    EXPECT_TRUE(temporary_files().empty());
    EXPECT_TRUE(outbox("tmp").empty());
}

TEST_F(MailSender, ExtraSmallDecodesAtAQuarterWithoutResampling) {
    make_jpeg("big.jpg", 2048, 1536);
    EXPECT_EQ(send(request(1, {"big.jpg"})).message, 35029);
    auto found = parsed();
    EXPECT_EQ(found["defects"], "0");
    EXPECT_EQ(identify("1"), "JPEG 512x384 50");
}

TEST_F(MailSender, NoReductionAttachesEveryFileUnchanged) {
    std::string a = make_jpeg("a.jpg", 1600, 1200);
    command_output("convert -size 300x200 gradient:red-blue '" + (root / "Photos/b.gif").string() + "'");
    EXPECT_EQ(send(request(0, {"a.jpg", "b.gif"})).attached, 2);
    auto found = parsed();
    EXPECT_EQ(found["defects"], "0");
    EXPECT_EQ(found["attachment2"], "b.gif\timage/gif\tbase64");
    EXPECT_EQ(read_file(parts + "/1"), read_file(a));
    EXPECT_EQ(read_file(parts + "/2"), read_file((root / "Photos/b.gif").string()));
}

TEST_F(MailSender, AnswerToTheCannotSendQuestionOnTheSecondOfThree) {
    // Too little storage for the second copy: writes after the first file's
    // bytes fail. Yes discards the whole message; No leaves that image out,
    // and the third, which finds the storage still full, too.
    for (int answer : {platform::kAnswerYes, platform::kAnswerNo}) {
        SCOPED_TRACE(answer);
        fsys::remove_all(maildir);
        question = {};
        question.answers = {answer};
        std::string a = make_jpeg("a.jpg", 320, 240);
        make_jpeg("b.jpg", 320, 240);
        make_jpeg("c.jpg", 320, 240);
        platform::FaultPlan plan;
        plan.fail_write_after = static_cast<int64_t>(fsys::file_size(a)) + 100;
        platform::set_fault_plan(plan);
        MailResult result = send(request(0, {"a.jpg", "b.jpg", "c.jpg"}));
        platform::clear_fault_plan();
        ASSERT_EQ(question.asked.size(), answer == platform::kAnswerYes ? 1u : 2u);
        EXPECT_EQ(question.asked[0], std::make_pair(35033, std::string("b.jpg")));
        EXPECT_TRUE(temporary_files().empty());
        EXPECT_TRUE(outbox("tmp").empty());
        if (answer == platform::kAnswerYes) {
            EXPECT_EQ(result.message, 0);  // no 35029
            EXPECT_TRUE(outbox("new").empty());
        } else {
            EXPECT_EQ(question.asked[1], std::make_pair(35033, std::string("c.jpg")));
            EXPECT_EQ(result.message, 35029);
            auto found = parsed();
            EXPECT_EQ(found["defects"], "0");
            EXPECT_EQ(found["attachment1"], "a.jpg\timage/jpeg\tbase64");
            EXPECT_EQ(found.count("attachment2"), 0u);
            EXPECT_EQ(read_file(parts + "/1"), read_file(a));
        }
    }
}

TEST_F(MailSender, UndecodableImageAsksForALowerResolution) {
    // A JPEG whose first Huffman table holds three codes of one bit: its
    // header reads (the size is known), but no scale decodes. Cancel
    // discards; No leaves it out; Yes retries at lower scales silently, then
    // 35032 offers the file itself.
    make_jpeg("good.jpg", 320, 240);
    std::string broken = make_jpeg("broken.jpg", 1600, 1200);
    auto bytes = read_file(broken);
    std::size_t dht = 0;
    while (dht + 21 < bytes.size() && !(bytes[dht] == 0xFF && bytes[dht + 1] == 0xC4)) ++dht;
    ASSERT_LT(dht + 21, bytes.size());
    uint8_t* counts = &bytes[dht + 5];
    int donor = 1;
    while (donor < 16 && counts[donor] < 3) ++donor;
    ASSERT_LT(donor, 16);
    counts[0] += 3;
    counts[donor] -= 3;
    write_file(broken, bytes);
    struct Case {
        std::vector<int> answers;
        std::vector<int> asked;
        int message;
        int attached;
    };
    const Case cases[] = {
        {{platform::kAnswerCancel}, {35031}, 0, 1},
        {{platform::kAnswerNo}, {35031}, 35029, 1},
        {{platform::kAnswerYes, platform::kAnswerYes}, {35031, 35032}, 35029, 2},
        {{platform::kAnswerYes, platform::kAnswerNo}, {35031, 35032}, 35029, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answers.size());
        fsys::remove_all(maildir);
        question = {};
        question.answers = c.answers;
        MailResult result = send(request(2, {"good.jpg", "broken.jpg"}));
        std::vector<int> asked;
        for (auto& q : question.asked) {
            asked.push_back(q.first);
            EXPECT_EQ(q.second, "broken.jpg");
        }
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(result.attached, c.attached);
        EXPECT_EQ(outbox("new").size(), c.message ? 1u : 0u);
        EXPECT_TRUE(temporary_files().empty());
    }
}

TEST_F(MailSender, StoreThatCannotBeOpenedSendsNothing) {
    make_jpeg("a.jpg", 320, 240);
    write_file(maildir, {'x'});  // a file where the Maildir should be
    EXPECT_EQ(send(request(0, {"a.jpg"})).message, 35034);
    EXPECT_TRUE(question.asked.empty());
    EXPECT_TRUE(temporary_files().empty());
    fsys::remove(maildir);
}

}  // namespace
}  // namespace qelvio::sharing
