// The properties sheet's rules without widgets: the name shown and the
// extension kept, and the colour count.
#include "metadata/image_properties.h"

#include <gtest/gtest.h>

namespace qm = qelvio::metadata;

TEST(ImageProperties, NameIsCutAtTheLastDot) {
    struct Case {
        std::u16string_view name, stem, extension;
    };
    const Case cases[] = {
        {u"a.b.jpg", u"a.b", u".jpg"},
        {u"photo.JPEG", u"photo", u".JPEG"},
        {u"noextension", u"noextension", u""},
        {u"trailing.", u"trailing", u"."},
        {u".hidden", u"", u".hidden"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(qm::name_before_extension(c.name), c.stem);
        EXPECT_EQ(qm::name_extension_of(c.name), c.extension);
    }
}

TEST(ImageProperties, ColoursAreTwoToTheBitsBelow32) {
    const std::pair<int, std::uint64_t> cases[] = {{1, 2}, {4, 16}, {8, 256}, {16, 65536}, {24, 16777216},
                                                   {31, 2147483648u}, {32, 0}, {48, 0}};
    for (auto [bits, colours] : cases) EXPECT_EQ(qm::colour_count(bits), colours) << bits;
}
