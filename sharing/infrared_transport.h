// The stand-in for the infrared link: TCP stream sockets carry the packets,
// and UDP discovery stands in for the list of devices in range. A receiver
// answers probes that name the service "Qelvio IRSERVER" with the TCP port
// it listens on; a sender probes the hosts of QELVIO_BEAM_PEERS (or, when
// that is not set, the broadcast addresses) and takes up to 5 answers.
//
// Probe: the 25-byte service-name field (the name padded with zero bytes).
// Answer: the same 25 bytes followed by the TCP port (16-bit little-endian).
//
// Objects here are used by one thread at a time (the engine's worker).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qelvio::sharing {

constexpr char kServiceName[] = "Qelvio IRSERVER";
constexpr std::size_t kServiceFieldSize = 25;
constexpr uint16_t kDefaultDiscoveryPort = 47311;
constexpr std::size_t kMaxDevices = 5;

struct TransportOptions {
    // Hosts to probe, "HOST" or "HOST:PORT" (PORT: their discovery port,
    // else discovery_port); empty: the broadcast addresses.
    std::vector<std::string> peers;
    // The UDP port a receiver answers probes on (0: any free port, see
    // ServiceListener::discovery_port), and the port probes go to.
    uint16_t discovery_port = kDefaultDiscoveryPort;
    // The local address a receiver listens on.
    std::string listen_address = "0.0.0.0";

    // From the environment: QELVIO_BEAM_PEERS (hosts separated by spaces or
    // commas), QELVIO_BEAM_PORT (the discovery port) and QELVIO_BEAM_LISTEN
    // (the receiver's local address).
    static TransportOptions from_environment();
};

struct PeerAddress {
    uint32_t ipv4 = 0;  // host byte order
    uint16_t port = 0;
    bool operator==(const PeerAddress&) const = default;
};

// A connected, non-blocking stream socket; closed by the destructor.
class StreamLink {
public:
    enum class Io { ok, closed, error, timed_out, stopped };

    explicit StreamLink(int fd);
    ~StreamLink();
    StreamLink(const StreamLink&) = delete;
    StreamLink& operator=(const StreamLink&) = delete;

    // Hands every byte to the socket, waiting for room while it would
    // block. Gives up with timed_out after stall_ms without progress
    // (negative: never) and with stopped when `stop` becomes true.
    Io send_all(std::span<const uint8_t> bytes, int stall_ms, const std::atomic<bool>& stop);
    // Reads exactly out.size() bytes under the same rules; closed when the
    // peer closed the connection first.
    Io receive_exact(std::span<uint8_t> out, int stall_ms, const std::atomic<bool>& stop);
    // The bytes waiting to be read (the pending-bytes query), -1 on error.
    int64_t pending() const;
    // Waits up to ms until bytes, or the peer's close, can be read.
    bool wait_readable(int ms) const;

private:
    int fd_;
};

// The receiving side's sockets: the listening stream socket and the
// discovery socket that answers probes.
class ServiceListener {
public:
    // Binds both sockets (the stream socket to any free port, backlog 5);
    // null when a socket cannot be made or bound.
    static std::unique_ptr<ServiceListener> open(const TransportOptions& options);
    ~ServiceListener();
    ServiceListener(const ServiceListener&) = delete;
    ServiceListener& operator=(const ServiceListener&) = delete;

    uint16_t stream_port() const { return stream_port_; }
    uint16_t discovery_port() const { return discovery_port_; }

    // Answers the probes that are waiting; never blocks.
    void answer_probes();
    // A waiting connection (made non-blocking), or null. `failed` is set
    // for an error other than "nothing to accept".
    std::unique_ptr<StreamLink> accept(bool& failed);
    // Waits up to ms for a connection or a probe.
    void wait(int ms);

private:
    ServiceListener(int stream, int discovery, uint16_t stream_port, uint16_t discovery_port);
    int stream_;
    int discovery_;
    uint16_t stream_port_;
    uint16_t discovery_port_;
};

// Probes for the service and collects the answers for up to wait_ms (less
// when every named peer has answered): at most 5 distinct services, in the
// order they answered. nullopt when the probing socket cannot be made.
std::optional<std::vector<PeerAddress>> discover(const TransportOptions& options, int wait_ms);

// Connects to a service found by discover; null on failure or after
// timeout_ms. The link is non-blocking.
std::unique_ptr<StreamLink> connect_to(const PeerAddress& peer, int timeout_ms);

// Where probes go: the named peers (resolved to IPv4), or the broadcast
// addresses of the machine's interfaces and the loopback address.
std::vector<PeerAddress> probe_targets(const TransportOptions& options);

}  // namespace qelvio::sharing
