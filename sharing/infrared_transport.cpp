#include "sharing/infrared_transport.h"

#include <algorithm>
#include <array>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qelvio::sharing {
namespace {

using Clock = std::chrono::steady_clock;

// Each wait is cut into slices this long so that a stop request is seen.
constexpr int kSliceMs = 20;

bool set_non_blocking(int fd) {
    int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

sockaddr_in socket_address(uint32_t ipv4, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(ipv4);
    a.sin_port = htons(port);
    return a;
}

uint16_t bound_port(int fd) {
    sockaddr_in a{};
    socklen_t size = sizeof a;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) != 0) return 0;
    return ntohs(a.sin_port);
}

std::array<uint8_t, kServiceFieldSize> service_field() {
    std::array<uint8_t, kServiceFieldSize> field{};
    std::memcpy(field.data(), kServiceName, sizeof kServiceName - 1);
    return field;
}

// The IPv4 address of a host name or dotted address.
std::optional<uint32_t> resolve(const std::string& host) {
    in_addr a{};
    if (::inet_pton(AF_INET, host.c_str(), &a) == 1) return ntohl(a.s_addr);
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return std::nullopt;
    uint32_t ipv4 = ntohl(reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return ipv4;
}

std::optional<uint16_t> parse_port(const std::string& text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    unsigned long n = std::strtoul(text.c_str(), nullptr, 10);
    if (n > 65535) return std::nullopt;
    return static_cast<uint16_t>(n);
}

// Packets are small and mostly answered one by one: each goes out at once
// instead of waiting to be merged with the next.
int no_delay(int fd) {
    int yes = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    return fd;
}

int milliseconds_since(Clock::time_point start) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

}  // namespace

TransportOptions TransportOptions::from_environment() {
    TransportOptions options;
    if (const char* peers = std::getenv("QELVIO_BEAM_PEERS")) {
        std::string all(peers);
        std::replace(all.begin(), all.end(), ',', ' ');
        std::size_t at = 0;
        while (at < all.size()) {
            std::size_t end = all.find(' ', at);
            if (end == std::string::npos) end = all.size();
            if (end > at) options.peers.push_back(all.substr(at, end - at));
            at = end + 1;
        }
    }
    if (const char* port = std::getenv("QELVIO_BEAM_PORT"))
        if (auto p = parse_port(port)) options.discovery_port = *p;
    if (const char* listen = std::getenv("QELVIO_BEAM_LISTEN"); listen && *listen) options.listen_address = listen;
    return options;
}

// ---- StreamLink ----

StreamLink::StreamLink(int fd) : fd_(fd) {}

StreamLink::~StreamLink() {
    if (fd_ >= 0) ::close(fd_);
}

StreamLink::Io StreamLink::send_all(std::span<const uint8_t> bytes, int stall_ms, const std::atomic<bool>& stop) {
    std::size_t sent = 0;
    Clock::time_point progress = Clock::now();
    while (sent < bytes.size()) {
        ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            progress = Clock::now();
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return errno == EPIPE || errno == ECONNRESET ? Io::closed : Io::error;
        if (stop) return Io::stopped;
        if (stall_ms >= 0 && milliseconds_since(progress) > stall_ms) return Io::timed_out;
        pollfd p{fd_, POLLOUT, 0};
        ::poll(&p, 1, kSliceMs);
    }
    return Io::ok;
}

StreamLink::Io StreamLink::receive_exact(std::span<uint8_t> out, int stall_ms, const std::atomic<bool>& stop) {
    std::size_t got = 0;
    Clock::time_point progress = Clock::now();
    while (got < out.size()) {
        ssize_t n = ::recv(fd_, out.data() + got, out.size() - got, 0);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            progress = Clock::now();
            continue;
        }
        if (n == 0) return Io::closed;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return errno == ECONNRESET ? Io::closed : Io::error;
        if (stop) return Io::stopped;
        if (stall_ms >= 0 && milliseconds_since(progress) > stall_ms) return Io::timed_out;
        wait_readable(kSliceMs);
    }
    return Io::ok;
}

int64_t StreamLink::pending() const {
    int count = 0;
    if (::ioctl(fd_, FIONREAD, &count) != 0) return -1;
    return count;
}

bool StreamLink::wait_readable(int ms) const {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR));
}

// ---- ServiceListener ----

ServiceListener::ServiceListener(int stream, int discovery, uint16_t stream_port, uint16_t discovery_port)
    : stream_(stream), discovery_(discovery), stream_port_(stream_port), discovery_port_(discovery_port) {}

ServiceListener::~ServiceListener() {
    ::close(stream_);
    ::close(discovery_);
}

std::unique_ptr<ServiceListener> ServiceListener::open(const TransportOptions& options) {
    auto local = resolve(options.listen_address);
    if (!local) return nullptr;
    int stream = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (stream < 0) return nullptr;
    int discovery = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (discovery < 0) {
        ::close(stream);
        return nullptr;
    }
    sockaddr_in s = socket_address(*local, 0);
    sockaddr_in d = socket_address(*local, options.discovery_port);
    bool ok = ::bind(stream, reinterpret_cast<sockaddr*>(&s), sizeof s) == 0 && ::listen(stream, 5) == 0 &&
              set_non_blocking(stream) && ::bind(discovery, reinterpret_cast<sockaddr*>(&d), sizeof d) == 0 &&
              set_non_blocking(discovery);
    if (!ok) {
        ::close(stream);
        ::close(discovery);
        return nullptr;
    }
    return std::unique_ptr<ServiceListener>(
        new ServiceListener(stream, discovery, bound_port(stream), bound_port(discovery)));
}

void ServiceListener::answer_probes() {
    const auto field = service_field();
    // A bounded number per call, so a flood of probes cannot hold the worker.
    for (int i = 0; i < 16; ++i) {
        uint8_t probe[64];
        sockaddr_in from{};
        socklen_t size = sizeof from;
        ssize_t n = ::recvfrom(discovery_, probe, sizeof probe, 0, reinterpret_cast<sockaddr*>(&from), &size);
        if (n < 0) return;
        if (n != static_cast<ssize_t>(kServiceFieldSize) || !std::equal(field.begin(), field.end(), probe)) continue;
        uint8_t answer[kServiceFieldSize + 2];
        std::copy(field.begin(), field.end(), answer);
        answer[kServiceFieldSize] = static_cast<uint8_t>(stream_port_);
        answer[kServiceFieldSize + 1] = static_cast<uint8_t>(stream_port_ >> 8);
        ::sendto(discovery_, answer, sizeof answer, 0, reinterpret_cast<sockaddr*>(&from), size);
    }
}

std::unique_ptr<StreamLink> ServiceListener::accept(bool& failed) {
    failed = false;
    int fd = ::accept4(stream_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd >= 0) return std::make_unique<StreamLink>(no_delay(fd));
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED) failed = true;
    return nullptr;
}

void ServiceListener::wait(int ms) {
    pollfd p[2] = {{stream_, POLLIN, 0}, {discovery_, POLLIN, 0}};
    ::poll(p, 2, ms);
}

// ---- discovery ----

std::vector<PeerAddress> probe_targets(const TransportOptions& options) {
    std::vector<PeerAddress> targets;
    auto add = [&](PeerAddress a) {
        if (std::find(targets.begin(), targets.end(), a) == targets.end()) targets.push_back(a);
    };
    for (const std::string& peer : options.peers) {
        std::string host = peer;
        uint16_t port = options.discovery_port;
        if (std::size_t colon = peer.rfind(':'); colon != std::string::npos) {
            auto p = parse_port(peer.substr(colon + 1));
            if (!p) continue;
            host = peer.substr(0, colon);
            port = *p;
        }
        if (auto ipv4 = resolve(host)) add({*ipv4, port});
    }
    if (!options.peers.empty()) return targets;
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) == 0) {
        for (ifaddrs* i = interfaces; i; i = i->ifa_next) {
            if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_BROADCAST) ||
                !i->ifa_broadaddr)
                continue;
            add({ntohl(reinterpret_cast<sockaddr_in*>(i->ifa_broadaddr)->sin_addr.s_addr), options.discovery_port});
        }
        ::freeifaddrs(interfaces);
    }
    add({INADDR_LOOPBACK, options.discovery_port});
    return targets;
}

std::optional<std::vector<PeerAddress>> discover(const TransportOptions& options, int wait_ms) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return std::nullopt;
    std::vector<PeerAddress> targets = probe_targets(options);
    if (options.peers.empty()) {
        int yes = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &yes, sizeof yes);
    }
    const auto field = service_field();
    for (const PeerAddress& t : targets) {
        sockaddr_in to = socket_address(t.ipv4, t.port);
        ::sendto(fd, field.data(), field.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    std::vector<PeerAddress> found;
    Clock::time_point start = Clock::now();
    std::size_t answered_targets = 0;
    while (found.size() < kMaxDevices && milliseconds_since(start) < wait_ms) {
        if (!options.peers.empty() && answered_targets >= targets.size()) break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, std::max(1, std::min(kSliceMs, wait_ms - milliseconds_since(start)))) <= 0) continue;
        uint8_t answer[64];
        sockaddr_in from{};
        socklen_t size = sizeof from;
        ssize_t n = ::recvfrom(fd, answer, sizeof answer, 0, reinterpret_cast<sockaddr*>(&from), &size);
        if (n != static_cast<ssize_t>(kServiceFieldSize + 2) || !std::equal(field.begin(), field.end(), answer))
            continue;
        ++answered_targets;
        PeerAddress service{ntohl(from.sin_addr.s_addr),
                            static_cast<uint16_t>(answer[kServiceFieldSize] | answer[kServiceFieldSize + 1] << 8)};
        if (std::find(found.begin(), found.end(), service) == found.end()) found.push_back(service);
    }
    ::close(fd);
    return found;
}

std::unique_ptr<StreamLink> connect_to(const PeerAddress& peer, int timeout_ms) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return nullptr;
    sockaddr_in to = socket_address(peer.ipv4, peer.port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        if (errno != EINPROGRESS) {
            ::close(fd);
            return nullptr;
        }
        pollfd p{fd, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        if (::poll(&p, 1, timeout_ms) <= 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error) {
            ::close(fd);
            return nullptr;
        }
    }
    return std::make_unique<StreamLink>(no_delay(fd));
}

}  // namespace qelvio::sharing
