#include "shell/single_instance.h"

#include "platform/device_root.h"
#include "platform/tests/scratch_dir.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

namespace qelvio::shell {
namespace {

using testing::ScopedEnv;
using testing::ScratchDir;

class SingleInstanceTest : public ::testing::Test {
protected:
    ScratchDir dir;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path()};
    std::mutex mutex;
    std::vector<std::u16string> received;

    void SetUp() override { platform::set_device_root(""); }

    InstanceListener::OpenRequest recorder() {
        return [this](const p_irl& irl) {
            std::lock_guard lock(mutex);
            received.emplace_back(std::u16string_view(irl));
        };
    }
    std::vector<std::u16string> got() {
        std::lock_guard lock(mutex);
        return received;
    }
};

TEST_F(SingleInstanceTest, RequestReachesTheListenerAsALocator) {
    InstanceListener listener;
    ASSERT_EQ(listener.start(recorder()), kInstanceOk);
    EXPECT_EQ(listener.socket_path(), dir / "qelvio.sock");
    EXPECT_EQ(send_open_request(u"\\My Documents\\a.jpg"), kInstanceOk);
    EXPECT_EQ(send_open_request(u"\"\\quoted b.jpg\""), kInstanceOk);
    EXPECT_EQ(got(), (std::vector<std::u16string>{u"file:\\\\\\My Documents\\a.jpg",
                                                  u"file:\\\\\\quoted b.jpg"}));
    // Text that names no file is answered, and not handed on.
    EXPECT_EQ(send_open_request(u""), kInstanceRefused);
    EXPECT_EQ(got().size(), 2u);
    listener.stop();
    EXPECT_FALSE(std::filesystem::exists(dir / "qelvio.sock"));
    EXPECT_EQ(send_open_request(u"\\a.jpg"), kInstanceNoListener);
}

TEST_F(SingleInstanceTest, OverlongRequestIsCut) {
    InstanceListener listener;
    ASSERT_EQ(listener.start(recorder()), kInstanceOk);
    std::u16string path = u"\\" + std::u16string(5000, u'\u00e9');
    EXPECT_EQ(send_open_request(path), kInstanceOk);
    ASSERT_EQ(got().size(), 1u);
    EXPECT_EQ(got()[0], u"file:\\\\" + path.substr(0, kMaxRequestChars));
}

TEST_F(SingleInstanceTest, SecondInstanceFindsTheFirst) {
    InstanceListener first, second;
    ASSERT_EQ(first.start(recorder()), kInstanceOk);
    EXPECT_EQ(second.start(recorder()), kInstanceRunning);
    EXPECT_FALSE(second.listening());
    EXPECT_EQ(send_open_request(u"\\a.jpg"), kInstanceOk);
}

// A socket file left by a crashed instance answers nobody: a sender reports
// that, and the next instance takes the path over.
TEST_F(SingleInstanceTest, StaleSocketIsTakenOver) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string path = dir / "qelvio.sock";
    std::strcpy(addr.sun_path, path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);  // the file stays, nobody listens
    ASSERT_TRUE(std::filesystem::exists(path));

    EXPECT_EQ(send_open_request(u"\\a.jpg"), kInstanceNoListener);
    InstanceListener listener;
    ASSERT_EQ(listener.start(recorder()), kInstanceOk);
    EXPECT_EQ(send_open_request(u"\\a.jpg"), kInstanceOk);
}

TEST_F(SingleInstanceTest, SilentSenderDoesNotBlockOthers) {
    InstanceListener listener;
    ASSERT_EQ(listener.start(recorder()), kInstanceOk);
    int silent = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, listener.socket_path().c_str());
    ASSERT_EQ(::connect(silent, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_EQ(send_open_request(u"\\after.jpg", 5000), kInstanceOk);
    ::close(silent);
    EXPECT_EQ(got(), std::vector<std::u16string>{u"file:\\\\\\after.jpg"});
}

TEST_F(SingleInstanceTest, MissingRuntimeFolderFallsBackToAPrivateFolder) {
    ScopedEnv missing("XDG_RUNTIME_DIR", dir / "does-not-exist");
    std::string path = instance_socket_path();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path, "/tmp/qelvio-runtime-" + std::to_string(::getuid()) + "/qelvio.sock");
    struct stat st;
    std::string folder = "/tmp/qelvio-runtime-" + std::to_string(::getuid());
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(SingleInstanceTest, ObstructedSocketPathIsNotRemoved) {
    std::ofstream(dir / "qelvio.sock") << "a file of the user's";
    InstanceListener listener;
    EXPECT_EQ(listener.start(recorder()), kInstanceFailed);
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "qelvio.sock"));
    EXPECT_EQ(listener.start(recorder(), std::string(200, 'x')), kInstanceFailed);  // too long
}

}  // namespace
}  // namespace qelvio::shell
