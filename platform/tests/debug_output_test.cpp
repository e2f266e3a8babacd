#include "platform/debug_output.h"

#include "platform/tests/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace qelvio::platform {
namespace {

class DebugTraceTest : public ::testing::Test {
protected:
    std::vector<std::u16string> lines;
    DebugSink previous;
    void SetUp() override {
        previous = set_debug_sink([this](std::u16string_view l) { lines.emplace_back(l); });
    }
    void TearDown() override { set_debug_sink(previous); }
};

TEST_F(DebugTraceTest, FormatsWithPrintfRules) {
    debug_trace(u"PIM: Unloading %s\n", u"\\Program Files\\Qelvio\\q.apl");
    debug_trace(u"p_ImageSource::Open(%s) -- no memory (%d)", u"a.jpg", -12);
    EXPECT_EQ(lines, (std::vector<std::u16string>{u"PIM: Unloading \\Program Files\\Qelvio\\q.apl\n",
                                                  u"p_ImageSource::Open(a.jpg) -- no memory (-12)"}));
}

TEST_F(DebugTraceTest, LongAndBadFormatsAreSafe) {
    debug_trace(u"%s", std::u16string(10000, u'x'));
    debug_trace(u"%d %s", 1);  // an argument is missing
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), 4095u);
    EXPECT_EQ(lines[1], u"");
}

// With QELVIO_TRACE set the lines go to stderr; the registry's helper
// program writes one when it cannot lock its hive.
TEST(DebugTraceToStderr, WrittenWhenTraceIsSet) {
    testing::ScratchDir dir;
    std::ofstream(dir / "plain-file") << "x";
    std::string command = "QELVIO_TRACE=1 QELVIO_CONFIG_DIR='" + dir / "plain-file/qelvio" + "' " +
                          QELVIO_REGISTRY_WRITER + " t 1 2>&1";
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[512];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        ::pclose(p);
    }
    EXPECT_NE(out.find("registry: cannot lock " + dir / "plain-file/qelvio/user.reg.lock"),
              std::string::npos)
        << out;
}

}  // namespace
}  // namespace qelvio::platform
