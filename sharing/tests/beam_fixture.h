// What the beaming tests share: a recorder of posted messages, scratch
// folders for a sender and a receiver, options that keep every socket on
// the loopback address, and files made and read back byte for byte.
#pragma once

#include "platform/device_root.h"
#include "platform/message_target.h"
#include "platform/tests/scratch_dir.h"
#include "sharing/infrared_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <list>
#include <mutex>
#include <random>
#include <vector>

namespace qelvio::sharing::testing {

struct Posted {
    uint32_t number;
    std::intptr_t first;
    std::intptr_t second;
};

// Keeps every posted message; tests wait for the ones they expect.
class Recorder final : public platform::MessageTarget {
public:
    void post(uint32_t number, std::intptr_t first, std::intptr_t second) override {
        std::lock_guard lock(mutex_);
        all_.push_back({number, first, second});
        arrived_.notify_all();
    }
    // Waits until `count` messages of this number have arrived (at most
    // `timeout`); the last of them, or nullopt on time-out.
    std::optional<Posted> wait_for(uint32_t number, std::size_t count = 1,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock lock(mutex_);
        std::optional<Posted> found;
        arrived_.wait_for(lock, timeout, [&] {
            std::size_t seen = 0;
            for (const Posted& p : all_)
                if (p.number == number && ++seen == count) found = p;
            return found.has_value();
        });
        return found;
    }
    // The first parameters of every message of this number, in order.
    std::vector<std::intptr_t> firsts(uint32_t number) {
        std::lock_guard lock(mutex_);
        std::vector<std::intptr_t> out;
        for (const Posted& p : all_)
            if (p.number == number) out.push_back(p.first);
        return out;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Posted> all_;
};

inline std::vector<uint8_t> bytes_of(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void put_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> random_bytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::vector<uint8_t> out(size);
    for (uint8_t& b : out) b = static_cast<uint8_t>(generator());
    return out;
}

inline std::u16string device_path(const std::string& local) {
    return platform::to_device_path(local).value_or(u"");
}

// The names in a folder (sorted); none when it does not exist.
inline std::vector<std::string> names_in(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A scratch area with the sender's files, the receiving folder and the
// folder of partial files, and a receiver listening on 127.0.0.1.
class BeamFixture : public ::testing::Test {
protected:
    BeamFixture() {
        for (const char* folder : {"send", "received", "partial"})
            std::filesystem::create_directories(scratch / folder);
    }
    ~BeamFixture() override {
        sender.stop();
        receiver.stop();
    }

    InfraredOptions receiver_options() {
        InfraredOptions o;
        o.transport.peers = {};
        o.transport.discovery_port = 0;  // any free port: tests run side by side
        o.transport.listen_address = "127.0.0.1";
        o.receive_folder = device_path(scratch / "received");
        o.partial_folder = device_path(scratch / "partial");
        o.stall_timeout_ms = 400;
        return o;
    }
    InfraredOptions sender_options(uint16_t discovery_port) {
        InfraredOptions o;
        o.transport.peers = {"127.0.0.1:" + std::to_string(discovery_port)};
        o.transport.discovery_port = discovery_port;
        o.transport.listen_address = "127.0.0.1";
        return o;
    }
    // Starts the receiver engine; its discovery port.
    uint16_t start_receiver() {
        receiver = InfraredEngineHolder(receiver_options());
        EXPECT_EQ(receiver->start(kReceiving, &receiver_log), 0);
        auto ports = receiver->listening_ports();
        EXPECT_NE(ports.first, 0);
        EXPECT_NE(ports.second, 0);
        return ports.second;
    }
    // A sender engine for the running receiver, with the files queued
    // (names in the "send" folder), started.
    void start_sender(uint16_t discovery_port, const std::vector<std::string>& names) {
        sender = InfraredEngineHolder(sender_options(discovery_port));
        for (const std::string& name : names) ASSERT_EQ(sender->queue_file(device_path(scratch / ("send/" + name))), 0);
        ASSERT_EQ(sender->start(kSending, &sender_log), 0);
    }
    std::string sent(const std::string& name) { return scratch / ("send/" + name); }
    std::string received(const std::string& name) { return scratch / ("received/" + name); }
    std::string partial(const std::string& name) { return scratch / ("partial/" + name); }

    // Owns an engine that can be replaced (engines are not movable).
    class InfraredEngineHolder {
    public:
        InfraredEngineHolder() = default;
        explicit InfraredEngineHolder(InfraredOptions o) : engine_(std::make_unique<InfraredEngine>(std::move(o))) {}
        InfraredEngine* operator->() { return engine_.get(); }
        InfraredEngine* get() { return engine_.get(); }
        void stop() {
            if (engine_) engine_->stop();
        }

    private:
        std::unique_ptr<InfraredEngine> engine_;
    };

    // A new recorder that outlives the engines (for tests that run rounds).
    Recorder& fresh_log() { return extra_logs.emplace_back(); }

    qelvio::testing::ScratchDir scratch;
    std::list<Recorder> extra_logs;
    Recorder receiver_log;
    Recorder sender_log;
    InfraredEngineHolder receiver;
    InfraredEngineHolder sender;
};

}  // namespace qelvio::sharing::testing
