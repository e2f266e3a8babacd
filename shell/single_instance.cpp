#include "shell/single_instance.h"

#include "platform/debug_output.h"
#include "platform/text.h"
#include "shell/command_line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace qelvio::shell {
namespace {

// Bytes of a request that are read at most (1023 characters take at most
// three bytes each in UTF-8).
constexpr std::size_t kMaxRequestBytes = 4 * kMaxRequestChars;
// How long a connected sender may take to send its request.
constexpr int kRequestTimeoutMs = 1000;

bool private_folder(const std::string& dir) {
    struct stat st;
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    // Someone else's folder (or one others may write to) is not used.
    return st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

bool make_address(const std::string& path, sockaddr_un* addr) {
    std::memset(addr, 0, sizeof *addr);
    addr->sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr->sun_path) return false;
    std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Connects to the socket; the descriptor, or -1 with errno set.
int connect_to(const std::string& path) {
    sockaddr_un addr;
    if (!make_address(path, &addr)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        int e = errno;
        ::close(fd);
        errno = e;
        return -1;
    }
    return fd;
}

// Waits until fd is readable; false on timeout or error.
bool wait_readable(int fd, int timeout_ms) {
    pollfd p{fd, POLLIN, 0};
    while (true) {
        int r = ::poll(&p, 1, timeout_ms);
        if (r < 0 && errno == EINTR) continue;
        return r > 0;
    }
}

bool write_all(int fd, const char* data, std::size_t size) {
    while (size) {
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string instance_socket_path() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st;
    if (runtime && runtime[0] == '/' && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode))
        return std::string(runtime) + "/qelvio.sock";
    std::string fallback = "/tmp/qelvio-runtime-" + std::to_string(::getuid());
    if (!private_folder(fallback)) return {};
    return fallback + "/qelvio.sock";
}

int32_t InstanceListener::start(OpenRequest callback, std::string socket_path) {
    stop();
    if (socket_path.empty()) socket_path = instance_socket_path();
    sockaddr_un addr;
    if (!make_address(socket_path, &addr)) return kInstanceFailed;

    for (int attempt = 0; attempt < 2; ++attempt) {
        int other = connect_to(socket_path);
        if (other >= 0) {
            ::close(other);
            return kInstanceRunning;
        }
        // Nobody answers: a socket file left by a crashed instance goes.
        struct stat st;
        if (::lstat(socket_path.c_str(), &st) == 0) {
            if (!S_ISSOCK(st.st_mode)) return kInstanceFailed;  // not ours to remove
            ::unlink(socket_path.c_str());
        }
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return kInstanceFailed;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
            ::listen(fd, 8) == 0) {
            listen_fd_ = fd;
            break;
        }
        int e = errno;
        ::close(fd);
        if (e != EADDRINUSE) return kInstanceFailed;
        // Another instance bound it just now: ask again.
    }
    if (listen_fd_ < 0) return kInstanceRunning;
    ::chmod(socket_path.c_str(), 0600);
    if (::pipe2(wake_pipe_, O_CLOEXEC) != 0) {
        ::close(listen_fd_);
        listen_fd_ = -1;
        ::unlink(socket_path.c_str());
        return kInstanceFailed;
    }
    path_ = std::move(socket_path);
    callback_ = std::move(callback);
    thread_ = std::thread([this] { run(); });
    return kInstanceOk;
}

void InstanceListener::stop() {
    if (listen_fd_ < 0) return;
    char wake = 1;
    (void)!::write(wake_pipe_[1], &wake, 1);
    if (thread_.joinable()) thread_.join();
    ::close(listen_fd_);
    ::close(wake_pipe_[0]);
    ::close(wake_pipe_[1]);
    listen_fd_ = wake_pipe_[0] = wake_pipe_[1] = -1;
    ::unlink(path_.c_str());
}

void InstanceListener::run() {
    pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {wake_pipe_[0], POLLIN, 0}};
    while (true) {
        int r = ::poll(fds, 2, -1);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 || (fds[1].revents & POLLIN)) return;
        if (!(fds[0].revents & POLLIN)) continue;
        int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        serve(fd);
        ::close(fd);
    }
}

void InstanceListener::serve(int fd) {
    ucred peer{};
    socklen_t len = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &len) != 0 || peer.uid != ::getuid()) {
        platform::debug_trace(u"single instance: request from another user refused");
        return;
    }
    std::string request;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestTimeoutMs);
    char buf[1024];
    while (request.size() < kMaxRequestBytes) {
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        deadline - std::chrono::steady_clock::now())
                                        .count());
        if (left <= 0 || !wait_readable(fd, left)) {
            platform::debug_trace(u"single instance: incomplete request dropped");
            return;
        }
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return;
        if (n == 0) break;
        request.append(buf, static_cast<std::size_t>(n));
    }
    std::u16string text = text::to_utf16(request);
    if (text.size() > kMaxRequestChars) text.resize(kMaxRequestChars);
    std::optional<p_irl> irl = text.empty() ? std::nullopt : initial_irl(text);
    char answer = irl ? 'Y' : 'N';
    if (irl && callback_) callback_(*irl);
    write_all(fd, &answer, 1);
}

int32_t send_open_request(std::u16string_view path, int timeout_ms, std::string socket_path) {
    if (socket_path.empty()) socket_path = instance_socket_path();
    int fd = connect_to(socket_path);
    if (fd < 0) return errno == ENOENT || errno == ECONNREFUSED ? kInstanceNoListener : kInstanceFailed;
    std::string request = text::to_utf8(path);
    char answer = 0;
    bool sent = write_all(fd, request.data(), request.size()) && ::shutdown(fd, SHUT_WR) == 0;
    bool answered = sent && wait_readable(fd, timeout_ms) && ::recv(fd, &answer, 1, 0) == 1;
    ::close(fd);
    if (!answered) return kInstanceNoListener;
    return answer == 'Y' ? kInstanceOk : kInstanceRefused;
}

}  // namespace qelvio::shell
