// Helper for the command-line tests: listens for open-file requests like the
// running program does, prints "listening" and then each locator received,
// one per line, and exits after COUNT requests (or after 20 s).
#include "shell/single_instance.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>

int main(int argc, char** argv) {
    int count = argc > 1 ? std::atoi(argv[1]) : 1;
    std::mutex mutex;
    std::condition_variable done;
    int received = 0;
    qelvio::shell::InstanceListener listener;
    int32_t r = listener.start([&](const p_irl& irl) {
        std::lock_guard lock(mutex);
        std::printf("%s\n", irl.utf8().c_str());
        std::fflush(stdout);
        ++received;
        done.notify_all();
    });
    if (r != qelvio::shell::kInstanceOk) {
        std::fprintf(stderr, "instance_listener: cannot listen (%d)\n", r);
        return 1;
    }
    std::printf("listening\n");
    std::fflush(stdout);
    std::unique_lock lock(mutex);
    bool all = done.wait_for(lock, std::chrono::seconds(20), [&] { return received >= count; });
    lock.unlock();
    listener.stop();
    return all ? 0 : 1;
}
