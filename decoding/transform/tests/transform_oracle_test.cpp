// The decoded pixels of every transform equal those of jpegtran -copy all
// -trim with the matching option, for each chroma layout and for sizes
// that are and are not whole MCUs.
#include "decoding/transform/tests/transform_fixture.h"

#include <iostream>

using namespace transform_test;

namespace {

class TransformOracle : public TransformFixture {
protected:
    // Transforms a copy of source with code and compares with jpegtran;
    // returns whether the files are byte-identical.
    bool check(const std::filesystem::path& source, int code) {
        std::filesystem::copy_file(source, root / "work.jpg", std::filesystem::copy_options::overwrite_existing);
        auto result = transform("work.jpg", code);
        EXPECT_EQ(result.status, 0) << result.detail;
        auto reference = root / "reference.jpg";
        jpegtran(code, source, reference);
        Pixels ours = decode(root / "work.jpg");
        Pixels theirs = decode(reference);
        EXPECT_GT(theirs.width, 0);
        EXPECT_EQ(ours.width, theirs.width);
        EXPECT_EQ(ours.height, theirs.height);
        EXPECT_EQ(result.width, theirs.width);
        EXPECT_EQ(result.height, theirs.height);
        EXPECT_TRUE(ours == theirs) << "decoded pixels differ";
        return read_bytes(root / "work.jpg") == read_bytes(reference);
    }
};

TEST_F(TransformOracle, EveryCodeLayoutAndSizeMatchesJpegtran) {
    const Sampling layouts[] = {Sampling::s444, Sampling::s422, Sampling::s420, Sampling::grey};
    const std::pair<int, int> sizes[] = {{64, 48}, {100, 75}, {37, 53}};
    int cases = 0, identical = 0;
    for (Sampling layout : layouts)
        for (auto [width, height] : sizes) {
            auto source = root / "source.jpg";
            make_jpeg(source, width, height, layout);
            for (int code : {1, 2, 5, 6, 7}) {
                SCOPED_TRACE(testing::Message() << name_of(layout) << " " << width << "x" << height
                                                << " code " << code);
                ++cases;
                if (check(source, code)) ++identical;
            }
        }
    // Plain cjpeg files carry nothing that the two programs treat
    // differently, so the files themselves are the same.
    std::cout << "byte-identical with jpegtran: " << identical << " of " << cases << "\n";
    EXPECT_EQ(identical, cases);
    EXPECT_TRUE(temporary_files().empty());
}

// Progressive and arithmetic-coded sources come out sequential with the
// same coefficients.
TEST_F(TransformOracle, ProgressiveAndArithmeticSourcesMatchJpegtran) {
    for (const char* extra : {"-progressive", "-arithmetic", "-restart 2"}) {
        auto source = root / "source.jpg";
        make_jpeg(source, 100, 75, Sampling::s420, extra);
        for (int code : {1, 5, 6}) {
            SCOPED_TRACE(testing::Message() << extra << " code " << code);
            check(source, code);
            std::string out = read_bytes(root / "work.jpg");
            EXPECT_NE(out.find("\xFF\xC0"), std::string::npos) << "not baseline sequential";
        }
    }
}

}  // namespace
