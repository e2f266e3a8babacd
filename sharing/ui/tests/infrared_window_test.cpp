// The beaming window offscreen: two windows in one process beam files to
// each other over the loopback address, and the files, the window's texts
// and its calls to the frame are checked.
#include "sharing/ui/infrared_window.h"

#include "platform/ui/tests/widget_checks.h"
#include "qelvio/p_mcp.h"
#include "sharing/tests/beam_fixture.h"
#include "shell/command_line.h"

#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace qelvio::sharing {
namespace {

using testing::bytes_of;
using testing::device_path;
using testing::put_bytes;
using testing::random_bytes;
using ui_testing::ModalScript;

QString label(QWidget& window, const char* name) { return window.findChild<QLabel*>(name)->text(); }

// What a window told the frame.
struct FrameRecord {
    std::vector<bool> shows;       // state_changed(show_now)
    std::vector<std::u16string> received;
    std::vector<QString> told;
};

class InfraredWindowTest : public testing::BeamFixture {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    // A window that records its calls to the frame, shown and hidden as the
    // frame would.
    std::unique_ptr<InfraredWindow> window(InfraredOptions options, FrameRecord& record) {
        auto w = std::make_unique<InfraredWindow>(nullptr, std::move(options));
        InfraredWindow* raw = w.get();
        w->state_changed = [raw, &record](bool show_now) {
            record.shows.push_back(show_now);
            if (raw->mode() == kIdle) raw->hide();
            else if (show_now) raw->show();
        };
        w->file_received = [&record](const std::u16string& name) { record.received.push_back(name); };
        w->tell = [&record](const QString& text) { record.told.push_back(text); };
        return w;
    }
    // Starts a receiving window; the port senders probe.
    uint16_t receive(InfraredWindow& w) {
        w.receive();
        uint16_t port = w.engine().listening_ports().second;
        EXPECT_NE(port, 0);
        return port;
    }
    p_filenode* node(const std::string& name) {
        p_filenode* found = nullptr;
        EXPECT_EQ(mcp.openfile(*shell::file_irl(device_path(sent(name))), &found), P_OK) << name;
        return found;
    }
    static bool wait_until(const std::function<bool()>& done) { return QTest::qWaitFor(done, 20000); }

    p_mcp mcp;
};

TEST_F(InfraredWindowTest, TwoImagesArriveWhileTheReceivingWindowIsHidden) {
    const auto a = random_bytes(1000, 1), b = random_bytes(3000, 2);
    put_bytes(sent("a.jpg"), a);
    put_bytes(sent("b.jpg"), b);
    FrameRecord in_record, out_record;
    auto in = window(receiver_options(), in_record);
    const uint16_t port = receive(*in);
    EXPECT_EQ(in->windowTitle(), "Infrared Receive");
    EXPECT_TRUE(in->isVisible());
    EXPECT_TRUE(in->findChild<QLabel*>("c1101")->isVisible());
    EXPECT_TRUE(label(*in, "c1101").startsWith("Waiting for the sender...\n\nTo begin the transfer, select \"Send"));
    EXPECT_EQ(label(*in, "c1098"), "0");  // nothing announced yet
    // Hide window: the transfer goes on.
    in->findChild<QPushButton*>("c3")->click();
    EXPECT_FALSE(in->isVisible());
    EXPECT_EQ(in->mode(), kReceiving);

    auto out = window(sender_options(port), out_record);
    // At each start and end of a file the sender's list redraws the item:
    // what the window showed then, and whether it called the file sent.
    struct Redraw {
        QString file;
        bool being_sent;
        int bar, range;
        QString bytes_left, files_left, group, between;
    };
    std::vector<Redraw> redraws;
    out->item_changed = [&](const p_irl& file) {
        redraws.push_back({QString::fromStdU16String(std::u16string(std::u16string_view(file))), out->is_being_sent(file),
                           out->findChild<QProgressBar*>("c1059")->value(),
                           out->findChild<QProgressBar*>("c1059")->maximum(), label(*out, "c1098"),
                           label(*out, "c1097"), out->findChild<QGroupBox*>("c1099")->title(), label(*out, "c1104")});
    };
    out->send({node("a.jpg"), node("b.jpg")});
    EXPECT_EQ(out->windowTitle(), "Infrared Send");
    EXPECT_TRUE(out->isVisible());
    // The sender's window calls the frame at Send, on connecting and at the
    // end of the link, its last message.
    ASSERT_TRUE(wait_until([&] { return out_record.shows.size() == 3 && in->state().transferred() == 2; }));

    EXPECT_EQ(bytes_of(received("a.jpg")), a);
    EXPECT_EQ(bytes_of(received("b.jpg")), b);
    EXPECT_EQ(in_record.received, (std::vector<std::u16string>{u"a.jpg", u"b.jpg"}));
    EXPECT_FALSE(in->isVisible());  // hidden by the user, still receiving
    EXPECT_EQ(in->mode(), kReceiving);

    const QString irl_a = QString::fromStdU16String(std::u16string(std::u16string_view(*shell::file_irl(device_path(sent("a.jpg"))))));
    ASSERT_EQ(redraws.size(), 4u);
    EXPECT_EQ(redraws[0].file, irl_a);
    EXPECT_TRUE(redraws[0].being_sent);
    EXPECT_EQ(redraws[0].group, "Sending a.jpg");
    // After the first file: 1000 of 4000, 3,000 bytes and one image to go.
    EXPECT_EQ(redraws[1].file, irl_a);
    EXPECT_FALSE(redraws[1].being_sent);
    EXPECT_EQ(redraws[1].bar, 1000);
    EXPECT_EQ(redraws[1].range, 4000);
    EXPECT_EQ(redraws[1].bytes_left, "3,000");
    EXPECT_EQ(redraws[1].files_left, "1");
    EXPECT_EQ(redraws[1].group, "");
    EXPECT_EQ(redraws[1].between, "Waiting for the receiver to accept the next image...");
    EXPECT_TRUE(redraws[2].being_sent);
    EXPECT_EQ(redraws[2].group, "Sending b.jpg");
    EXPECT_EQ(redraws[3].bar, 4000);
    EXPECT_EQ(redraws[3].between, "");
    EXPECT_FALSE(out->file_being_sent());

    // The sender finished: the frame hid its window; the receiver waits for
    // the next sender with its totals of this one.
    EXPECT_EQ(out->mode(), kIdle);
    EXPECT_FALSE(out->isVisible());
    EXPECT_EQ(out_record.shows, (std::vector<bool>{true, false, false}));
    EXPECT_TRUE(label(*in, "c1101").startsWith("Waiting for the sender..."));
    EXPECT_EQ(label(*in, "c1097"), "0");
    EXPECT_EQ(label(*in, "c1098"), "0");
    EXPECT_EQ(in->findChild<QProgressBar*>("c1059")->value(), 4000);
    EXPECT_TRUE(in_record.told.empty());
    EXPECT_TRUE(out_record.told.empty());

    // The same image again, to the same receiver, which replaces its copy.
    put_bytes(sent("a.jpg"), b);
    in->ask_overwrite = [](const std::u16string&) { return true; };
    out->send({node("a.jpg")});
    ASSERT_TRUE(wait_until([&] { return in_record.received.size() == 3 && out->mode() == kIdle; }));
    EXPECT_EQ(bytes_of(received("a.jpg")), b);

    in->findChild<QPushButton*>("c1055")->click();
    EXPECT_EQ(in->mode(), kIdle);
    EXPECT_EQ(in->windowTitle(), "Infrared");
    EXPECT_EQ(in_record.shows.back(), false);
}

TEST_F(InfraredWindowTest, ARefusedOverwriteKeepsTheFileAndCountsItsBytesAsDone) {
    const auto a = random_bytes(1000, 3), b = random_bytes(3000, 4), kept = random_bytes(500, 5);
    put_bytes(sent("a.jpg"), a);
    put_bytes(sent("b.jpg"), b);
    put_bytes(received("a.jpg"), kept);
    FrameRecord in_record, out_record;
    auto in = window(receiver_options(), in_record);
    auto out = window(sender_options(receive(*in)), out_record);
    std::vector<QString> questions;
    ModalScript script({[&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        questions.push_back(box->text());
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        box->button(QMessageBox::No)->click();
    }});
    out->send({node("a.jpg"), node("b.jpg")});
    ASSERT_TRUE(wait_until([&] { return out->mode() == kIdle && in->state().files_remaining() == 0 && in_record.received.size() == 1; }));

    EXPECT_EQ(questions, std::vector<QString>{"An image named 'a.jpg' is being sent to you via infrared, but an image by the "
                                              "same name already exists on your device.  Do you want to overwrite it with "
                                              "the infrared image?  If you select no, the image will not be received."});
    EXPECT_EQ(bytes_of(received("a.jpg")), kept);
    EXPECT_EQ(bytes_of(received("b.jpg")), b);
    EXPECT_EQ(testing::names_in(scratch / "received"), (std::vector<std::string>{"a.jpg", "b.jpg"}));
    EXPECT_EQ(in->state().transferred(), 1);
    EXPECT_EQ(in->state().skipped(), 0);
    EXPECT_EQ(in->findChild<QProgressBar*>("c1059")->value(), 4000);
    EXPECT_EQ(label(*in, "c1098"), "0");
}

TEST_F(InfraredWindowTest, AResumedFileSaysSoUntilItEnds) {
    const auto content = random_bytes(10000, 8);
    put_bytes(sent("a.jpg"), content);
    put_bytes(partial("a.jpg"), std::vector<uint8_t>(content.begin(), content.begin() + 3000));
    FrameRecord in_record, out_record;
    auto in = window(receiver_options(), in_record);
    auto out = window(sender_options(receive(*in)), out_record);
    // When the file has arrived, the window still says it was resumed; the
    // text goes once the window has taken in the file's end.
    std::vector<bool> resumed_shown;
    in->file_received = [&](const std::u16string&) {
        resumed_shown.push_back(in->findChild<QLabel*>("c1102")->isVisibleTo(in.get()));
    };
    out->send({node("a.jpg")});
    ASSERT_TRUE(wait_until([&] { return !resumed_shown.empty(); }));
    EXPECT_EQ(resumed_shown, std::vector<bool>{true});
    EXPECT_FALSE(in->findChild<QLabel*>("c1102")->isVisibleTo(in.get()));
    EXPECT_EQ(bytes_of(received("a.jpg")), content);
    EXPECT_TRUE(testing::names_in(scratch / "partial").empty());
}

TEST_F(InfraredWindowTest, SendingWhileReceivingAndTheReverseAreRefusedWithoutAMessage) {
    put_bytes(sent("a.jpg"), random_bytes(100, 6));
    FrameRecord in_record, out_record;
    auto in = window(receiver_options(), in_record);
    receive(*in);
    const std::size_t shows = in_record.shows.size();
    in->send({node("a.jpg")});
    EXPECT_EQ(in->mode(), kReceiving);
    EXPECT_TRUE(in->engine().entries().empty());
    EXPECT_EQ(in_record.shows.size(), shows);
    // Receive again: the window is only shown.
    in->hide();
    in->receive();
    EXPECT_EQ(in->mode(), kReceiving);
    EXPECT_EQ(in_record.shows.back(), true);
    EXPECT_TRUE(in->isVisible());

    // A sender with nobody to find keeps looking; Receive changes nothing.
    InfraredOptions lonely = sender_options(1);
    auto out = window(lonely, out_record);
    out->send({node("a.jpg")});
    EXPECT_EQ(out->mode(), kSending);
    EXPECT_TRUE(label(*out, "c1101").startsWith("Waiting for the receiver..."));
    EXPECT_EQ(label(*out, "c1097"), "1");
    EXPECT_EQ(label(*out, "c1098"), "100");
    out->receive();
    EXPECT_EQ(out->mode(), kSending);
    EXPECT_EQ(out->windowTitle(), "Infrared Send");
    // The same file again is queued once.
    out->send({node("a.jpg")});
    EXPECT_EQ(out->engine().entries().size(), 1u);
    out->stop_transfer();
    EXPECT_EQ(out->mode(), kIdle);
    EXPECT_EQ(out->windowTitle(), "Infrared");
    EXPECT_FALSE(out->isVisible());
    EXPECT_TRUE(in_record.told.empty());
    EXPECT_TRUE(out_record.told.empty());
}

TEST_F(InfraredWindowTest, AReceiverThatCannotListenSaysSo) {
    FrameRecord first_record, second_record;
    auto first = window(receiver_options(), first_record);
    InfraredOptions same_port = receiver_options();
    same_port.transport.discovery_port = receive(*first);
    auto second = window(same_port, second_record);
    second->receive();
    ASSERT_TRUE(wait_until([&] { return !second_record.told.empty(); }));
    EXPECT_EQ(second_record.told, std::vector<QString>{"The infrared link failed, so the transfer has stopped."});
    EXPECT_EQ(second->mode(), kIdle);
    EXPECT_EQ(second->windowTitle(), "Infrared");
    EXPECT_FALSE(second->isVisible());
    EXPECT_EQ(first->mode(), kReceiving);
    EXPECT_TRUE(first_record.told.empty());
}

TEST_F(InfraredWindowTest, TheWindowsTextsAreWhole) {
    FrameRecord record;
    for (bool receiving : {false, true}) {
        auto w = window(receiving ? receiver_options() : sender_options(1), record);
        if (receiving) {
            w->receive();
        } else {
            put_bytes(sent("a.jpg"), random_bytes(123456, 7));
            w->send({node("a.jpg")});
        }
        ui_testing::expect_unclipped(*w, receiving ? "infrared_receive" : "infrared_send");
        w->stop_transfer();
    }
}

}  // namespace
}  // namespace qelvio::sharing
