// The engine's own cases: sizes after trimming, pictures smaller than one
// MCU, lossless round trips, the segments that travel along, the progress
// window and the image object's operation.
#include "decoding/transform/lossless_transform_operation.h"
#include "decoding/transform/tests/transform_fixture.h"

using namespace transform_test;
using qelvio::decoding::LosslessTransformOperation;

namespace {

class TransformCases : public TransformFixture {};

TEST_F(TransformCases, TrimsA100By75Picture) {
    make_jpeg(root / "a.jpg", 100, 75, Sampling::s420);
    auto original = read_bytes(root / "a.jpg");
    struct Case {
        int code, width, height;
    };
    for (Case c : {Case{5, 64, 100}, Case{6, 96, 64}, Case{1, 96, 75}, Case{2, 100, 64}, Case{7, 75, 96}}) {
        SCOPED_TRACE(c.code);
        write_bytes(root / "a.jpg", original);
        ASSERT_EQ(transform("a.jpg", c.code).status, 0);
        Pixels p = decode(root / "a.jpg");
        EXPECT_EQ(p.width, c.width);
        EXPECT_EQ(p.height, c.height);
    }
}

// Whole MCUs lose nothing: each code followed by its inverse gives back the
// very same pixels (and 640 x 480 keeps its size under every code).
TEST_F(TransformCases, WholeMcuPicturesRoundTripExactly) {
    make_jpeg(root / "a.jpg", 640, 480, Sampling::s420);
    Pixels original = decode(root / "a.jpg");
    const std::pair<int, int> there_and_back[] = {{1, 1}, {2, 2}, {5, 7}, {7, 5}, {6, 6}};
    for (auto [code, inverse] : there_and_back) {
        SCOPED_TRACE(code);
        ASSERT_EQ(transform("a.jpg", code).status, 0);
        Pixels turned = decode(root / "a.jpg");
        bool quarter = code == 5 || code == 7;
        EXPECT_EQ(turned.width, quarter ? 480 : 640);
        EXPECT_EQ(turned.height, quarter ? 640 : 480);
        ASSERT_EQ(transform("a.jpg", inverse).status, 0);
        EXPECT_TRUE(decode(root / "a.jpg") == original);
    }
}

// 10 x 10 with 16-pixel MCUs: codes 1, 2 and 6 leave the blocks where they
// are, 5 and 7 only exchange rows and columns.
TEST_F(TransformCases, PictureSmallerThanOneMcu) {
    make_jpeg(root / "small.jpg", 10, 10, Sampling::s420);
    auto bytes = read_bytes(root / "small.jpg");
    Pixels original = decode(root / "small.jpg");
    for (int code : {1, 2, 5, 6, 7}) {
        SCOPED_TRACE(code);
        write_bytes(root / "small.jpg", bytes);
        ASSERT_EQ(transform("small.jpg", code).status, 0);
        Pixels p = decode(root / "small.jpg");
        ASSERT_EQ(p.width, 10);
        ASSERT_EQ(p.height, 10);
        if (code == 1 || code == 2 || code == 6) {
            EXPECT_TRUE(p == original);
            continue;
        }
        // Mirrored along the diagonal: pixel (x, y) shows the original's
        // (y, x), up to the rounding of the decoder's separable steps.
        int worst = 0;
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                for (int c = 0; c < 3; ++c) {
                    int got = static_cast<unsigned char>(p.data[(y * 10 + x) * 3 + c]);
                    int want = static_cast<unsigned char>(original.data[(x * 10 + y) * 3 + c]);
                    worst = std::max(worst, std::abs(got - want));
                }
        EXPECT_LE(worst, 4);
        EXPECT_FALSE(p == original);
    }
}

// Exif (written by exiftool), a comment and an application segment of our
// own come out byte for byte and in order; the JFIF or Adobe segment is
// the compressor's own, never doubled.
TEST_F(TransformCases, SegmentsTravelUnchanged) {
    for (bool rgb : {false, true}) {
        SCOPED_TRACE(rgb ? "RGB with Adobe segment" : "YCbCr with JFIF segment");
        make_jpeg(root / "m.jpg", 100, 75, Sampling::s420, rgb ? "-rgb" : "");
        ASSERT_EQ(run("exiftool -q -overwrite_original -Make=Qelvio -Orientation#=6 "
                      "-Comment='a comment' '" + (root / "m.jpg").string() + "'"), 0);
        // An APP9 segment placed right after the first segments.
        std::string bytes = read_bytes(root / "m.jpg");
        std::string app9 = std::string("\xFF\xE9\x00\x0Bqelvio\x00\x01\xFF", 13);
        bytes.insert(2, app9);
        write_bytes(root / "m.jpg", bytes);
        auto before = carried_segments(bytes);
        ASSERT_EQ(before.size(), 3u);  // APP9, Exif APP1, COM
        for (int code : {1, 2, 5, 6, 7}) {
            SCOPED_TRACE(code);
            ASSERT_EQ(transform("m.jpg", code).status, 0);
            std::string after = read_bytes(root / "m.jpg");
            EXPECT_TRUE(carried_segments(after) == before);
            int jfif = 0, adobe = 0;
            for (const Segment& s : segments_of(after)) {
                if (s.marker == 0xE0 && s.payload.compare(0, 4, "JFIF") == 0) ++jfif;
                if (s.marker == 0xEE && s.payload.compare(0, 5, "Adobe") == 0) ++adobe;
            }
            EXPECT_EQ(jfif, rgb ? 0 : 1);
            EXPECT_EQ(adobe, rgb ? 1 : 0);
        }
        // exiftool still reads the same values.
        EXPECT_EQ(command_output("exiftool -s3 -Make -Orientation# -Comment '" + (root / "m.jpg").string() + "'"),
                  "Qelvio\n6\na comment\n");
    }
}

class RecordingWindow : public qelvio::decoding::ProgressWindow {
public:
    void create(std::u16string_view text, int minimum, int maximum) override {
        title = qelvio::text::to_utf8(text);
        range = {minimum, maximum};
        ++created;
    }
    void step(int position) override { positions.push_back(position); }
    void close() override { ++closed; }

    std::string title;
    std::pair<int, int> range;
    std::vector<int> positions;
    int created = 0, closed = 0;
};

TEST_F(TransformCases, ProgressWindowRunsFromReadingToWriting) {
    make_jpeg(root / "p.jpg", 320, 240, Sampling::s420, "-progressive");
    RecordingWindow window;
    ASSERT_EQ(transform("p.jpg", 5, &window).status, 0);
    EXPECT_EQ(window.title, "Transforming 'p.jpg'...");
    EXPECT_EQ(window.range, std::make_pair(0, 100));
    EXPECT_EQ(window.created, 1);
    EXPECT_EQ(window.closed, 1);
    ASSERT_FALSE(window.positions.empty());
    EXPECT_TRUE(std::is_sorted(window.positions.begin(), window.positions.end()));
    EXPECT_LT(window.positions.front(), 50);
    EXPECT_GE(window.positions.back(), 50);
    EXPECT_LE(window.positions.back(), 100);

    RecordingWindow failing;
    write_bytes(root / "bad.jpg", "not a picture at all");
    EXPECT_NE(transform("bad.jpg", 5, &failing).status, 0);
    EXPECT_EQ(failing.created, failing.closed);
}

TEST_F(TransformCases, OperationForgetsTheFileOnlyAfterSuccess) {
    make_jpeg(root / "f.jpg", 64, 48, Sampling::s420);
    write_bytes(root / "bad.jpg", "not a picture at all");
    std::vector<std::string> forgotten;
    auto forget = [&](const p_irl& irl) { forgotten.push_back(irl.utf8()); };
    EXPECT_EQ(LosslessTransformOperation(node(u"\\f.jpg"), 5, forget), 0);
    EXPECT_EQ(LosslessTransformOperation(node(u"\\bad.jpg"), 5, forget), -100);
    EXPECT_EQ(LosslessTransformOperation(node(u"\\f.jpg"), 3, forget), -100);
    EXPECT_EQ(forgotten, std::vector<std::string>{"file:\\\\\\f.jpg"});
    EXPECT_EQ(decode(root / "f.jpg").width, 48);
}

}  // namespace
