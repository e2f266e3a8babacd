#include "qelvio/p_status.h"

#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct RecordingSink : p_messagesink {
    std::vector<std::string> shown;
    void showmessage(const p_string& text) override { shown.push_back(text.utf8()); }
};

TEST(Status, EveryCodeHasItsMessage) {
    const std::pair<int32_t, const char*> cases[] = {
        {0, "No error."},
        {-1, "Invalid Parameter"},
        {-9, "The file already exists."},
        {-18, "The file is read-only."},
        {-20, "The operation was cancelled."},
        {-100, "No further information is available."},
        {-55, "No further information is available."},
    };
    for (auto [code, message] : cases) EXPECT_EQ(p_statusmessage(code).utf8(), message) << code;
    for (int32_t code = 0; code >= -20; --code)
        EXPECT_NE(p_statusmessage(code).utf8(), "No further information is available.") << code;
}

TEST(Status, PlatformErrors) {
    const std::pair<uint32_t, int32_t> cases[] = {
        {2, -8}, {5, -18}, {80, -9}, {183, -9}, {112, -16}, {123, -17}, {145, -19}, {87, -100}, {1, -100},
    };
    for (auto [error, code] : cases) EXPECT_EQ(p_statusfromerror(error), code) << error;
}

TEST(Status, ShowingACode) {
    RecordingSink sink;
    p_showstatus(sink, -12);
    p_showstatus(sink, 35043, -16);
    p_showstatus(sink, u"The image x.jpg can't be deleted.", -18);
    p_showstatus(sink, -20);
    p_showstatus(sink, 35043, -20);
    EXPECT_EQ(sink.shown, (std::vector<std::string>{
                              "There is not enough memory.",
                              "The image can't be saved.\n(There is not enough free storage.)",
                              "The image x.jpg can't be deleted.\n(The file is read-only.)"}));
}

}  // namespace
