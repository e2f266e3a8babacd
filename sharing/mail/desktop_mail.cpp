#include "sharing/mail/desktop_mail.h"

#include "platform/device_root.h"
#include "platform/text.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace qelvio::sharing {
namespace {

namespace fsys = std::filesystem;

// How long a hand-off is waited for before it counts as done.
constexpr auto kHandoffWait = std::chrono::seconds(5);
// Kept folders older than this are removed at the next send.
constexpr auto kKeepFor = std::chrono::hours(24);

// A file name the copy can carry: the name's last part, without
// separators or a leading dot.
std::string safe_name(const std::string& name) {
    std::string out = name.substr(name.find_last_of("/\\") == std::string::npos ? 0 : name.find_last_of("/\\") + 1);
    while (!out.empty() && out.front() == '.') out.erase(out.begin());
    return out.empty() ? std::string("attachment") : out;
}

void remove_old_folders(const std::string& root) {
    std::error_code ec;
    auto now = fsys::file_time_type::clock::now();
    for (fsys::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        auto when = it->last_write_time(ec);
        if (!ec && now - when > kKeepFor) fsys::remove_all(it->path(), ec);
    }
}

// Runs the command without a shell; 0 when it ended well or still runs
// after the wait, else its exit status (127 when it could not start).
int run(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const auto& a : command) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return 127;
    auto deadline = std::chrono::steady_clock::now() + kHandoffWait;
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
        if (r < 0 && errno != EINTR) return 1;
        if (std::chrono::steady_clock::now() > deadline) {
            // Still running: the mail program has it. A thread reaps it
            // when it ends, so no zombie is left.
            std::thread([pid] {
                int s = 0;
                waitpid(pid, &s, 0);
            }).detach();
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace

std::string default_handoff_folder() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && *cache) return std::string(cache) + "/qelvio/mail";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "/tmp") + "/.cache/qelvio/mail";
}

std::vector<std::string> split_recipients(const std::string& to) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= to.size()) {
        std::size_t end = to.find_first_of(";,", start);
        if (end == std::string::npos) end = to.size();
        std::string part = to.substr(start, end - start);
        std::size_t a = part.find_first_not_of(" \t"), b = part.find_last_not_of(" \t");
        if (a != std::string::npos) out.push_back(part.substr(a, b - a + 1));
        start = end + 1;
    }
    return out;
}

DesktopMailStore::DesktopMailStore(std::string folder, std::string command_name)
    : root(std::move(folder)), program(std::move(command_name)) {}

int DesktopMailStore::open(int create) {
    std::error_code ec;
    if (create) fsys::create_directories(root, ec);
    if (!fsys::is_directory(root, ec)) return 0;
    remove_old_folders(root);
    return 1;
}

void DesktopMailStore::set_header_field(MailMessage&, const char16_t* field, const char16_t* value) {
    std::u16string_view name = field ? field : u"";
    std::string v = text::to_utf8(value ? value : u"");
    if (name == u"To") to = v;
    else if (name == u"Subject") subject = v;
}

void DesktopMailStore::store_message(MailMessage& message, int) {
    text = text::to_utf8(message.text);
    std::string pattern = root + "/message-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    kept = mkdtemp(buffer.data()) ? std::string(buffer.data()) : std::string();
    attachments.clear();
    handed_over = false;
    message.id = 1;
}

int DesktopMailStore::add_attachment(MailMessage&, const MailAttachment& attachment) {
    if (kept.empty()) return 0;
    // One subfolder per attachment keeps two images of the same name apart
    // and leaves each its own name in the mail program.
    std::string folder = kept + "/" + std::to_string(attachment.number);
    std::string target = folder + "/" + safe_name(text::to_utf8(attachment.name));
    std::error_code ec;
    fsys::create_directories(folder, ec);
    if (ec) return 0;
    fsys::copy_file(platform::to_local_path(attachment.path), target, fsys::copy_options::overwrite_existing, ec);
    if (ec) {
        fsys::remove_all(folder, ec);
        return 0;
    }
    attachments.push_back(target);
    return 1;
}

void DesktopMailStore::delete_message(MailMessage&) {
    std::error_code ec;
    if (!kept.empty()) fsys::remove_all(kept, ec);
    kept.clear();
    attachments.clear();
}

void DesktopMailStore::move_message(MailMessage&, int folder, uint32_t, uint32_t) {
    if (folder != kOutboxFolder || kept.empty()) return;
    command = {program, "--utf8"};
    if (!subject.empty()) command.insert(command.end(), {"--subject", subject});
    if (!text.empty()) command.insert(command.end(), {"--body", text});
    for (const auto& a : attachments) command.insert(command.end(), {"--attach", a});
    for (const auto& address : split_recipients(to)) command.push_back(address);
    handed_over = run(command) == 0;
    if (!handed_over) {
        // Nobody will read the copies.
        std::error_code ec;
        fsys::remove_all(kept, ec);
    }
}

}  // namespace qelvio::sharing
