// The image source over real files made by ImageMagick.
#include "decoding/source/image_source.h"
#include "metadata/fpxr_audio_set.h"
#include "metadata/wav_audio.h"
#include "platform/message_queue.h"
#include "storage/tests/device_fixture.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace qd = qelvio::decoding;
namespace qi = qelvio::imaging;

namespace {

class ImageSource : public DeviceFixture {
protected:
    void convert(const std::string& args, const char* name) {
        std::string cmd = "convert " + args + " '" + (root / name).string() + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }
    static p_irl irl(const char16_t* path) {
        p_irl locator;
        locator.set(u"file", u"", path);
        return locator;
    }
    // Blue, green, red of a 24-bit Dib's top-left pixel.
    static std::array<int, 3> top_left(const qi::Dib& dib) {
        const uint8_t* row = qi::DibRow(dib, qi::DibHeight(dib) - 1);
        return {row[0], row[1], row[2]};
    }
};

TEST_F(ImageSource, FactsOfAJpeg) {
    convert("-size 200x150 xc:red -quality 90", "a.jpg");
    qd::p_ImageSource image(irl(u"\\a.jpg"));
    EXPECT_EQ(image.format_name().utf8(), "JPEG");
    EXPECT_EQ(image.size().width, 200);
    EXPECT_EQ(image.size().height, 150);
    EXPECT_EQ(image.bits_per_pixel(), 24);
    EXPECT_EQ(image.thumbnail_size().width, 64);
    EXPECT_EQ(image.thumbnail_size().height, 48);
    EXPECT_EQ(image.whole_image_size().width, 0);
}

TEST_F(ImageSource, ThumbnailOnTheCallingThreadAndItsCurrency) {
    convert("-size 200x150 xc:red -quality 90", "a.jpg");
    qd::p_ImageSource image(irl(u"\\a.jpg"));
    ASSERT_EQ(image.thumbnail(), 0);
    ASSERT_NE(image.thumbnail_bitmap(), nullptr);
    EXPECT_EQ(qi::DibWidth(*image.thumbnail_bitmap()), 64);
    EXPECT_EQ(qi::DibHeight(*image.thumbnail_bitmap()), 48);
    EXPECT_TRUE(image.thumbnail_is_current());
    // The file changes: the thumbnail is stale and dropped.
    std::filesystem::last_write_time(root / "a.jpg",
                                     std::filesystem::last_write_time(root / "a.jpg") + std::chrono::seconds(5));
    EXPECT_FALSE(image.thumbnail_is_current());
    EXPECT_EQ(image.thumbnail_bitmap(), nullptr);
    EXPECT_EQ(image.thumbnail(), 0);
}

TEST_F(ImageSource, ThumbnailOnTheWorkerReportsByMessage) {
    convert("-size 640x480 xc:blue -quality 90", "b.jpg");
    qd::p_ImageSource image(irl(u"\\b.jpg"));
    qelvio::platform::MessageQueue window;
    int status = image.thumbnail(&window);
    EXPECT_TRUE(status == P_IMAGE_BUSY || status == P_OK);
    auto message = window.take();
    ASSERT_TRUE(message);
    EXPECT_EQ(message->number, qd::kMessageDecodeDone);
    EXPECT_EQ(message->first, reinterpret_cast<std::intptr_t>(&image));
    EXPECT_EQ(message->second, qd::kRequestThumbnail);
    image.finish_decode();
    ASSERT_NE(image.thumbnail_bitmap(), nullptr);
    EXPECT_EQ(qi::DibWidth(*image.thumbnail_bitmap()), 64);
    auto bgr = top_left(*image.thumbnail_bitmap());
    EXPECT_GT(bgr[0], 240);
    EXPECT_LT(bgr[2], 15);
}

TEST_F(ImageSource, ViewingModeDecodesTheLargestScaleThatFits) {
    convert("-size 1024x768 xc:green -quality 90", "big.jpg");
    qd::p_ImageSource image(irl(u"\\big.jpg"));
    ASSERT_EQ(image.set_mode(qd::kModeViewing), 0);
    EXPECT_EQ(image.whole_image_scale(), 500);  // 1024 x 768 x 3 is over 768000 bytes
    EXPECT_EQ(image.whole_image_size().width, 512);
    EXPECT_EQ(image.whole_image_size().height, 384);

    qd::p_ImageSource tiny_budget(irl(u"\\big.jpg"), {1000, 104857600});
    ASSERT_EQ(tiny_budget.set_mode(qd::kModeViewing), 0);
    EXPECT_EQ(tiny_budget.whole_image_scale(), 125);  // tried whatever the estimate

    ASSERT_EQ(image.set_mode(qd::kModeEditing), 0);
    EXPECT_EQ(image.whole_image_size().width, 1024);
    EXPECT_EQ(image.whole_image_scale(), 1000);
    EXPECT_EQ(image.size().width, 1024);

    ASSERT_EQ(image.set_mode(qd::kModeThumbnail), 0);
    EXPECT_EQ(image.whole_image(), nullptr);
}

TEST_F(ImageSource, EditsAndRevert) {
    convert("-size 100x80 xc:white -quality 90", "e.jpg");
    qd::p_ImageSource image(irl(u"\\e.jpg"));
    ASSERT_EQ(image.set_mode(qd::kModeEditing), 0);
    EXPECT_FALSE(image.revert());
    auto edited = std::make_unique<qi::Dib>();
    ASSERT_TRUE(qi::DibCreate(*edited, 50, 40, 24, 0));
    image.replace_whole_image(std::move(edited));
    EXPECT_EQ(image.changes(), qd::kChangedBitmap);
    EXPECT_EQ(image.size().width, 50);
    EXPECT_TRUE(image.revert());
    EXPECT_EQ(image.size().width, 100);
    EXPECT_EQ(image.changes(), 0u);
}

TEST_F(ImageSource, LosslessTransformDropsWhatDescribedTheOldContent) {
    convert("-size 160x96 gradient:red-blue -quality 90", "t.jpg");
    qd::p_ImageSource image(irl(u"\\t.jpg"));
    ASSERT_EQ(image.set_mode(qd::kModeViewing), 0);
    ASSERT_EQ(image.thumbnail(), 0);
    std::vector<std::string> forgotten;
    auto forget = [&](const p_irl& locator) { forgotten.push_back(locator.utf8()); };
    ASSERT_EQ(image.lossless_transform(5, forget), 0);
    EXPECT_EQ(forgotten, std::vector<std::string>{"file:\\\\\\t.jpg"});
    EXPECT_EQ(image.whole_image(), nullptr);
    EXPECT_EQ(image.thumbnail_bitmap(), nullptr);
    EXPECT_EQ(image.size().width, 96);  // read again from the turned file
    EXPECT_EQ(image.size().height, 160);

    make_file("bad.jpg", "not a jpeg");
    qd::p_ImageSource bad(irl(u"\\bad.jpg"));
    EXPECT_EQ(bad.lossless_transform(5, forget), P_FAILED);
    EXPECT_EQ(forgotten.size(), 1u);
    EXPECT_EQ(read("bad.jpg"), "not a jpeg");
}

TEST_F(ImageSource, UndecodableFilesAreNotReadAgain) {
    make_file("broken.jpg", "this is not an image at all");
    qd::p_ImageSource image(irl(u"\\broken.jpg"));
    EXPECT_LT(image.thumbnail(), 0);
    EXPECT_TRUE(image.undecodable());
    convert("-size 10x10 xc:red", "broken.jpg");  // even once it is fine
    EXPECT_EQ(image.decode(qd::kRequestThumbnail, 0, nullptr), P_INVALID_FORMAT);
    EXPECT_EQ(image.set_mode(qd::kModeViewing), P_FAILED);

    qd::p_ImageSource missing(irl(u"\\nowhere.jpg"));
    EXPECT_LT(missing.thumbnail(), 0);
    EXPECT_EQ(missing.size().width, 0);
}

TEST_F(ImageSource, StoredThumbnailIsUsedWhenItOpens) {
    convert("-size 300x200 xc:red -quality 90", "photo.jpg");
    convert("-size 64x43 xc:lime -quality 90", "OLM1.jpg");
    qd::p_ImageSource image(irl(u"\\photo.jpg"));
    image.set_thumbnail_locator(irl(u"\\OLM1.jpg"));
    ASSERT_EQ(image.thumbnail(), 0);
    auto bgr = top_left(*image.thumbnail_bitmap());
    EXPECT_GT(bgr[1], 240);  // green: from the stored file
    EXPECT_EQ(image.size().width, 300);  // the facts still come from the image

    qd::p_ImageSource fallback(irl(u"\\photo.jpg"));
    fallback.set_thumbnail_locator(irl(u"\\OLM404.jpg"));
    ASSERT_EQ(fallback.thumbnail(), 0);
    bgr = top_left(*fallback.thumbnail_bitmap());
    EXPECT_GT(bgr[2], 240);  // red: from the image itself
}

TEST_F(ImageSource, OtherFormats) {
    convert("-size 120x90 xc:yellow", "y.bmp");
    convert("-size 120x90 xc:yellow", "y.gif");
    for (const char16_t* name : {u"\\y.bmp", u"\\y.gif"}) {
        qd::p_ImageSource image(irl(name));
        ASSERT_EQ(image.thumbnail(), 0) << qelvio::text::to_utf8(name);
        EXPECT_EQ(qi::DibWidth(*image.thumbnail_bitmap()), 64);
        EXPECT_EQ(qi::DibHeight(*image.thumbnail_bitmap()), 48);
    }
}

TEST_F(ImageSource, TagListAndDescription) {
    convert("-size 40x30 xc:gray -quality 90", "t.jpg");
    qd::p_ImageSource plain(irl(u"\\t.jpg"));
    EXPECT_FALSE(plain.has_description());
    ASSERT_EQ(std::system(("exiftool -q -overwrite_original -ImageDescription=Harbour '" +
                           (root / "t.jpg").string() + "'").c_str()), 0);
    qd::p_ImageSource described(irl(u"\\t.jpg"));
    EXPECT_TRUE(described.has_description());
    ASSERT_NE(described.tag_list(), nullptr);
    EXPECT_EQ(described.changes(), 0u);
    described.tag_list()->set_modified(true);
    EXPECT_EQ(described.changes(), qd::kChangedTagList);
}

TEST_F(ImageSource, AudioIsReadAndAdpcmBecomesPcm) {
    convert("-size 40x30 xc:gray -quality 90", "s.jpg");
    std::string wav_path = (root / "note.wav").string();
    ASSERT_EQ(std::system(("sox -n -r 8000 -c 1 -e ima-adpcm '" + wav_path + "' synth 0.3 sine 440").c_str()), 0);
    std::string wav = read("note.wav");
    {
        p_filestream stream(node(u"\\s.jpg"));
        qelvio::metadata::JpegSegmentEditor editor(stream);
        qelvio::metadata::FpxrAudioSet set;
        ASSERT_EQ(editor.parse(), 0);
        set.build(reinterpret_cast<const uint8_t*>(wav.data()), wav.size());
        ASSERT_EQ(set.place(editor), 0);
        ASSERT_EQ(editor.rewrite(), 0);
        ASSERT_EQ(set.write(editor), 1);
        ASSERT_EQ(editor.finish(true), 0);
    }
    qd::p_ImageSource image(irl(u"\\s.jpg"));
    ASSERT_TRUE(image.has_audio());
    const std::vector<uint8_t>* audio = image.audio();
    ASSERT_NE(audio, nullptr);
    qelvio::metadata::WavFormat format;
    ASSERT_EQ(qelvio::metadata::read_wav_format(audio->data(), audio->size(), format), 0);
    EXPECT_EQ(format.format_tag, 1);
    EXPECT_EQ(format.bits_per_sample, 16);
    EXPECT_TRUE(listing("Windows/Temp").empty());  // the conversion's file is gone

    image.set_audio(nullptr, 0);
    EXPECT_FALSE(image.has_audio());
    EXPECT_EQ(image.audio(), nullptr);
    EXPECT_EQ(image.changes(), qd::kChangedAudio);
}

// Reading the next image ahead for viewing: the whole image decodes on the
// worker at the viewing scale, and viewing then uses that bitmap. Each test
// puts a differently coloured file in place once the read-ahead has begun
// (the decode keeps its own mapping of the first one): what viewing shows
// tells whether it used the read-ahead or decoded the file a second time.
class ReadAhead : public ImageSource {
protected:
    // A noisy picture of one colour, slow enough to decode that a check
    // right after the start finds the decode still running.
    void make_photo(const char* colour, const char* name, const char* size = "1024x768") {
        convert(std::string("-size ") + size + " xc:" + colour + " -attenuate 0.15 +noise Uniform -quality 92",
                name);
    }
    // Puts another file in the image's place the way a save does.
    void replace_with(const char* colour, const char* size = "1024x768") {
        make_photo(colour, "next.jpg", size);
        std::filesystem::rename(root / "next.jpg", root / "photo.jpg");
    }
    static bool reddish(const qi::Dib& dib) {
        auto bgr = top_left(dib);
        return bgr[2] > 150 && bgr[0] < 100;
    }
    // Limits that make viewing keep a 4000 x 3000 image at full size.
    static constexpr qd::ImageSourceLimits kRoomy{40000000, 104857600, 2000000};
    qelvio::platform::MessageQueue window;
};

TEST_F(ReadAhead, ReadyAfterFinishAndUsedByViewing) {
    make_photo("red", "photo.jpg");
    qd::p_ImageSource image(irl(u"\\photo.jpg"));
    ASSERT_EQ(image.read_ahead(&window), P_OK);
    auto message = window.take();
    ASSERT_TRUE(message);
    EXPECT_EQ(message->number, qd::kMessageDecodeDone);
    EXPECT_EQ(message->first, reinterpret_cast<std::intptr_t>(&image));
    EXPECT_EQ(message->second, qd::kRequestWholeImage);
    image.finish_decode();
    ASSERT_NE(image.whole_image(), nullptr);
    // The scale viewing chooses: 1024 x 768 x 3 bytes is over the 768000 limit.
    EXPECT_EQ(image.whole_image_scale(), 500);
    EXPECT_EQ(image.whole_image_size().width, 512);
    EXPECT_EQ(image.mode(), qd::kModeNothing);  // the mode is the viewer's to set
    // Nothing to do a second time.
    EXPECT_EQ(image.read_ahead(&window), P_OK);
    EXPECT_FALSE(image.decode_running());

    replace_with("blue");
    const qi::Dib* ahead = image.whole_image();
    ASSERT_EQ(image.set_mode(qd::kModeViewing), P_OK);
    EXPECT_EQ(image.whole_image(), ahead);
    EXPECT_TRUE(reddish(*image.whole_image()));
    // Drawn in tiles like any viewed baseline JPEG below full size: the
    // read-ahead recorded the region index.
    EXPECT_TRUE(image.tiled());
    EXPECT_TRUE(image.has_region_index());
    EXPECT_FALSE(window.take(std::chrono::milliseconds(50)));
}

TEST_F(ReadAhead, ViewingWaitsForTheRunningDecode) {
    make_photo("red", "photo.jpg", "4000x3000");
    qd::p_ImageSource image(irl(u"\\photo.jpg"), kRoomy);
    ASSERT_EQ(image.read_ahead(&window), P_OK);
    ASSERT_TRUE(image.decode_running());
    EXPECT_EQ(image.read_ahead(&window), P_OK);  // already on its way
    replace_with("blue", "4000x3000");

    ASSERT_EQ(image.set_mode(qd::kModeViewing), P_OK);
    EXPECT_FALSE(image.decode_running());
    ASSERT_NE(image.whole_image(), nullptr);
    EXPECT_EQ(image.whole_image_scale(), 1000);
    EXPECT_EQ(image.whole_image_size().width, 4000);
    EXPECT_TRUE(reddish(*image.whole_image()));
    // The worker's message still comes; finishing again changes nothing.
    auto message = window.take();
    ASSERT_TRUE(message);
    EXPECT_EQ(message->second, qd::kRequestWholeImage);
    const qi::Dib* shown = image.whole_image();
    image.finish_decode();
    EXPECT_EQ(image.whole_image(), shown);
    EXPECT_FALSE(window.take(std::chrono::milliseconds(50)));
}

TEST_F(ReadAhead, AbandonedWhileRunningStopsCleanly) {
    make_photo("red", "photo.jpg", "4000x3000");
    {
        qd::p_ImageSource image(irl(u"\\photo.jpg"), kRoomy);
        ASSERT_EQ(image.read_ahead(&window), P_OK);
        ASSERT_TRUE(image.decode_running());
        ASSERT_EQ(image.set_mode(qd::kModeThumbnail), P_OK);
        EXPECT_FALSE(image.decode_running());
        EXPECT_EQ(image.whole_image(), nullptr);
        // A cancelled decode tells nobody.
        EXPECT_FALSE(window.take(std::chrono::milliseconds(200)));
        // Read ahead again later: it starts afresh and completes.
        ASSERT_EQ(image.read_ahead(&window), P_OK);
        ASSERT_TRUE(window.take());
        image.finish_decode();
        ASSERT_NE(image.whole_image(), nullptr);
        EXPECT_EQ(image.whole_image_size().width, 4000);
    }
    // The object goes away in the middle of a read-ahead.
    {
        qd::p_ImageSource image(irl(u"\\photo.jpg"), kRoomy);
        ASSERT_EQ(image.read_ahead(&window), P_OK);
        ASSERT_TRUE(image.decode_running());
    }
    EXPECT_FALSE(window.take(std::chrono::milliseconds(200)));
}

TEST_F(ReadAhead, FailingFilesGiveNoBitmap) {
    make_file("text.jpg", "this is not an image at all");
    qd::p_ImageSource text(irl(u"\\text.jpg"));
    EXPECT_LT(text.read_ahead(&window), 0);
    EXPECT_FALSE(text.decode_running());
    EXPECT_FALSE(window.take(std::chrono::milliseconds(50)));

    // A progressive file whose second scan is damaged: the header reads, the
    // picture does not.
    convert("-size 800x600 xc:red -attenuate 0.15 +noise Uniform -interlace JPEG -quality 90", "whole.jpg");
    std::string bytes;
    {
        std::ifstream in(root / "whole.jpg", std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    const std::string sos("\xFF\xDA", 2);
    std::size_t second = bytes.find(sos, bytes.find(sos) + 2);
    ASSERT_NE(second, std::string::npos);
    const auto components = static_cast<std::size_t>(static_cast<uint8_t>(bytes[second + 4]));
    bytes[second + 5 + 2 * components] = 70;  // a spectral start past the 64 coefficients
    make_file("damaged.jpg", bytes);
    qd::p_ImageSource damaged(irl(u"\\damaged.jpg"));
    ASSERT_EQ(damaged.read_ahead(&window), P_OK);
    auto message = window.take();
    ASSERT_TRUE(message);
    EXPECT_EQ(message->second, qd::kRequestWholeImage);
    damaged.finish_decode();
    EXPECT_FALSE(damaged.decode_running());
    EXPECT_EQ(damaged.whole_image(), nullptr);
    EXPECT_EQ(damaged.set_mode(qd::kModeViewing), P_FAILED);
    EXPECT_EQ(damaged.whole_image(), nullptr);
}

}  // namespace
