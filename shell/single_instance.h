// The single-instance channel: the running program listens on a Unix domain
// socket ("qelvio.sock" in $XDG_RUNTIME_DIR); a second start, or
// "qelvio-cli open", connects and sends the path of a file to open. The
// listener turns the text into a "file:" locator exactly as a command line
// is read and hands it to a callback, which posts the open-file request
// (message 1027) to the main window.
//
// Wire: the sender writes the path as UTF-8 and shuts its side down; the
// listener answers one byte, 'Y', once the request was handed on (or 'N'
// when the text named no file), and closes. Only processes of the same
// user are served.
#pragma once

#include "qelvio/p_irl.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace qelvio::shell {

// The window message that announces an open-file request.
inline constexpr int kOpenFileRequestMessage = 1027;
// Characters of a request that are taken at most.
inline constexpr std::size_t kMaxRequestChars = 1023;

// Results of the channel.
enum : int32_t {
    kInstanceOk = 0,
    kInstanceNoListener = -1,    // nobody listens (or a stale socket)
    kInstanceRunning = -2,       // another instance already listens
    kInstanceRefused = -3,       // the listener answered that the text names no file
    kInstanceFailed = -4,        // the socket could not be made or used
};

// The socket's path: $XDG_RUNTIME_DIR/qelvio.sock when that folder exists,
// else a private folder /tmp/qelvio-runtime-<uid> (created with mode 700).
// Empty when neither can be used.
std::string instance_socket_path();

// Listens for open-file requests while it exists.
//
// Threading: start and stop are called by the owner (the user-interface
// thread). The callback runs on the listener's own thread, one request at a
// time; it must only hand the locator on (post a message), not touch
// windows. stop waits for a running callback to return.
class InstanceListener {
public:
    using OpenRequest = std::function<void(const p_irl& irl)>;

    InstanceListener() = default;
    ~InstanceListener() { stop(); }
    InstanceListener(const InstanceListener&) = delete;
    InstanceListener& operator=(const InstanceListener&) = delete;

    // Starts listening on socket_path (instance_socket_path() when empty).
    // kInstanceRunning when another instance answers there; a socket file
    // left by a crashed instance is removed and taken over.
    int32_t start(OpenRequest callback, std::string socket_path = {});

    // Stops listening and removes the socket file.
    void stop();

    bool listening() const { return listen_fd_ >= 0; }
    const std::string& socket_path() const { return path_; }

private:
    void run();
    void serve(int fd);

    OpenRequest callback_;
    std::string path_;
    int listen_fd_ = -1;
    int wake_pipe_[2] = {-1, -1};
    std::thread thread_;
};

// Sends a path text to the running instance and waits up to timeout_ms for
// its answer. kInstanceOk when it took the request.
int32_t send_open_request(std::u16string_view path, int timeout_ms = 2000,
                          std::string socket_path = {});

}  // namespace qelvio::shell
