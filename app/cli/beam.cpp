// qelvio-cli beam: hands images to another running copy of the program, or
// takes them from one, over the beaming engine (the stand-in for the
// infrared link: TCP on the local network, found by UDP discovery, or the
// hosts of QELVIO_BEAM_PEERS). A progress line shows on a terminal.
#include "app/cli/command.h"

#include "platform/device_root.h"
#include "platform/file_system.h"
#include "platform/message_queue.h"
#include "platform/text.h"
#include "sharing/infrared_engine.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <strings.h>
#include <unistd.h>

namespace qelvio::cli {
namespace {

using sharing::InfraredEngine;

constexpr const char* usage_text =
    "usage: qelvio-cli beam send FILE... [--peer HOST]\n"
    "       qelvio-cli beam receive [--folder DIR] [--once] [--overwrite ask|yes|no]\n";

std::atomic<bool> interrupted{false};

void on_signal(int) { interrupted = true; }

// The device path of an argument: a "file:" locator's path, or a local path.
std::optional<std::u16string> device_path_of(const std::string& argument) {
    if (argument.size() >= 7 && strncasecmp(argument.c_str(), "file:\\\\", 7) == 0) {
        std::string path = argument.substr(7);
        if (path.empty() || path.front() != '\\') path.insert(path.begin(), '\\');
        return text::to_utf16(path);
    }
    return platform::to_device_path(argument);
}

const char* result_text(std::intptr_t result, bool sending) {
    switch (result) {
    case 1: return sending ? "sent" : "received";
    case 2: return "skipped";
    case 3: return "not received: the file could not be written";
    case 5: return "not received: the file could not be created";
    case 6: return "not received: the existing file was kept";
    default: return "ended";
    }
}

// Shows the engine's notifications on the terminal and counts the results.
class Session {
public:
    Session(InfraredEngine& engine, bool sending) : engine_(engine), sending_(sending), terminal_(::isatty(2)) {}

    // Handles one message; false when the session is over (the sender has
    // finished, or with `once` the receiver's sender left).
    bool handle(const platform::Message& m, bool once) {
        switch (m.number) {
        case sharing::kMsgConnected:
            std::fputs("qelvio-cli beam: connected\n", stderr);
            return true;
        case sharing::kMsgFileStarts:
            current_ = engine_.entry(static_cast<uint16_t>(m.first)).value_or(sharing::TransferEntry{});
            done_ = 0;
            return true;
        case sharing::kMsgProgress:
            done_ = static_cast<uint32_t>(m.first);
            show_progress();
            engine_.rearm_progress();
            return true;
        case sharing::kMsgResumed:
            clear_progress();
            std::fprintf(stderr, "qelvio-cli beam: %s resumed at %lld bytes\n", text::to_utf8(current_.name).c_str(),
                         static_cast<long long>(m.first));
            return true;
        case sharing::kMsgTargetExists:
            engine_.set_overwrite_answer(answer_overwrite());
            return true;
        case sharing::kMsgFileEnded:
            clear_progress();
            std::printf("%s: %s\n", text::to_utf8(current_.name).c_str(), result_text(m.first, sending_));
            std::fflush(stdout);
            (m.first == 1 ? complete_ : failed_) += 1;
            return true;
        case sharing::kMsgFailed:
            clear_progress();
            std::fprintf(stderr, "qelvio-cli beam: %s\n",
                         m.first == sharing::kEngineProtocolError ? "the peer broke the protocol; connection dropped"
                                                                  : "the link failed");
            ++errors_;
            return true;
        case sharing::kMsgDisconnected:
            clear_progress();
            if (!sending_) std::fputs("qelvio-cli beam: disconnected\n", stderr);
            return !sending_ && !once;
        default:
            return true;
        }
    }

    std::string overwrite = "ask";
    int complete() const { return complete_; }
    int failed() const { return failed_ + errors_; }

private:
    bool answer_overwrite() {
        if (overwrite == "yes" || overwrite == "no") return overwrite == "yes";
        if (!::isatty(0)) return false;  // nobody to ask: keep the existing file
        clear_progress();
        std::fprintf(stderr, "%s already exists; overwrite it? [y/n] ", text::to_utf8(current_.name).c_str());
        std::string line;
        return std::getline(std::cin, line) && (line == "y" || line == "Y" || line == "yes");
    }
    void show_progress() {
        if (!terminal_) return;
        unsigned percent = current_.size ? static_cast<unsigned>(uint64_t(done_) * 100 / current_.size) : 100;
        std::fprintf(stderr, "\r%s %s %3u%%", sending_ ? "sending" : "receiving", text::to_utf8(current_.name).c_str(),
                     percent);
        std::fflush(stderr);
        shown_ = true;
    }
    void clear_progress() {
        if (shown_) std::fputs("\r\033[K", stderr);
        shown_ = false;
    }

    InfraredEngine& engine_;
    bool sending_;
    bool terminal_;
    bool shown_ = false;
    sharing::TransferEntry current_;
    uint32_t done_ = 0;
    int complete_ = 0;
    int failed_ = 0;
    int errors_ = 0;
};

// Runs the engine until the session is over or a signal arrives.
void run_until_done(InfraredEngine& engine, platform::MessageQueue& queue, Session& session, bool once) {
    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
    while (!interrupted) {
        auto m = queue.take(std::chrono::milliseconds(200));
        if (m && !session.handle(*m, once)) break;
    }
    engine.stop();
}

int run_send(const Args& args) {
    sharing::InfraredOptions options;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--peer" && i + 1 < args.size()) {
            options.transport.peers = {args[++i]};
        } else if (args[i].rfind("--", 0) == 0) {
            std::fputs(usage_text, stderr);
            return 2;
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.empty()) {
        std::fputs(usage_text, stderr);
        return 2;
    }
    InfraredEngine engine(options);
    for (const std::string& file : files) {
        auto path = device_path_of(file);
        if (!path || engine.queue_file(*path) != 0) {
            std::fprintf(stderr, "qelvio-cli beam: %s: no such file\n", file.c_str());
            return 1;
        }
    }
    std::size_t queued = engine.entries().size();
    platform::MessageQueue queue;
    Session session(engine, true);
    std::fputs("qelvio-cli beam: waiting for a receiver...\n", stderr);
    if (engine.start(sharing::kSending, &queue) != 0) return 1;
    run_until_done(engine, queue, session, false);
    return session.complete() == static_cast<int>(queued) && session.failed() == 0 ? 0 : 1;
}

int run_receive(const Args& args) {
    sharing::InfraredOptions options;
    bool once = false;
    std::string overwrite = "ask";
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--folder" && i + 1 < args.size()) {
            const std::string& folder = args[++i];
            auto path = device_path_of(folder);
            auto attributes = path ? platform::get_attributes(*path) : std::nullopt;
            if (!attributes || !attributes->directory) {
                std::fprintf(stderr, "qelvio-cli beam: %s: no such folder\n", folder.c_str());
                return 1;
            }
            options.receive_folder = *path;
        } else if (args[i] == "--once") {
            once = true;
        } else if (args[i] == "--overwrite" && i + 1 < args.size() &&
                   (args[i + 1] == "ask" || args[i + 1] == "yes" || args[i + 1] == "no")) {
            overwrite = args[++i];
        } else {
            std::fputs(usage_text, stderr);
            return 2;
        }
    }
    InfraredEngine engine(options);
    platform::MessageQueue queue;
    Session session(engine, false);
    session.overwrite = overwrite;
    engine.start(sharing::kReceiving, &queue);
    auto [stream_port, discovery_port] = engine.listening_ports();
    if (!stream_port) {
        std::fputs("qelvio-cli beam: cannot listen (is another receiver running?)\n", stderr);
        engine.stop();
        return 1;
    }
    std::fprintf(stderr, "qelvio-cli beam: waiting for a sender (discovery port %u)\n", discovery_port);
    run_until_done(engine, queue, session, once);
    return session.failed() == 0 ? 0 : 1;
}

}  // namespace

int run_beam(const Args& args) {
    if (!args.empty() && args[0] == "send") return run_send(Args(args.begin() + 1, args.end()));
    if (!args.empty() && args[0] == "receive") return run_receive(Args(args.begin() + 1, args.end()));
    std::fputs(usage_text, stderr);
    return 2;
}

}  // namespace qelvio::cli
