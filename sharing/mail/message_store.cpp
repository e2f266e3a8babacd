#include "sharing/mail/message_store.h"

#include "platform/file_system.h"
#include "platform/text.h"
#include "shell/profile.h"

#include <gmime/gmime.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qelvio::sharing {
namespace {

namespace fs = qelvio::platform;

std::string host_name() {
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0 || !buffer[0]) return "localhost";
    return buffer;
}

// The sender: the "emaildlg" / "from" setting, then QELVIO_MAIL_FROM, then
// EMAIL (what mail programs read), then user@host.
std::string default_sender() {
    std::u16string setting = shell::get_profile_string(u"emaildlg", u"from", u"");
    if (!setting.empty()) return text::to_utf8(setting);
    for (const char* name : {"QELVIO_MAIL_FROM", "EMAIL"})
        if (const char* value = std::getenv(name); value && *value) return value;
    std::string user;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_name) user = entry->pw_name;
    if (user.empty()) user = "user";
    return user + "@" + host_name();
}

bool is_folder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool make_folder(const std::string& path, bool create) {
    if (is_folder(path)) return true;
    return create && ::mkdir(path.c_str(), 0700) == 0;
}

// A Maildir folder with its three subfolders.
bool make_maildir(const std::string& path, bool create) {
    return make_folder(path, create) && make_folder(path + "/cur", create) && make_folder(path + "/new", create) &&
           make_folder(path + "/tmp", create);
}

bool sync_folder(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool write_all(int fd, const uint8_t* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// A Maildir file name no other delivery uses: time, microseconds, process,
// a counter, and the host with "/" and ":" escaped as Maildir asks.
std::string unique_name() {
    static std::atomic<unsigned> counter{0};
    auto now = std::chrono::system_clock::now().time_since_epoch();
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now).count();
    auto micros = std::chrono::duration_cast<std::chrono::microseconds>(now).count() % 1000000;
    std::string host;
    for (char c : host_name()) {
        if (c == '/') host += "\\057";
        else if (c == ':') host += "\\072";
        else host += c;
    }
    return std::to_string(seconds) + ".M" + std::to_string(micros) + "P" + std::to_string(::getpid()) + "Q" +
           std::to_string(++counter) + "." + host;
}

// The content type of an attachment, from its first bytes: a reduced image
// is a JPEG whatever its name says.
std::pair<const char*, const char*> content_type(const std::vector<uint8_t>& c) {
    auto starts = [&c](std::initializer_list<uint8_t> magic) {
        return c.size() >= magic.size() && std::equal(magic.begin(), magic.end(), c.begin());
    };
    if (starts({0xFF, 0xD8, 0xFF})) return {"image", "jpeg"};
    if (starts({'G', 'I', 'F', '8'})) return {"image", "gif"};
    if (starts({'B', 'M'})) return {"image", "bmp"};
    if (starts({'I', 'I', 42, 0}) || starts({'M', 'M', 0, 42})) return {"image", "tiff"};
    return {"application", "octet-stream"};
}

void ensure_gmime() {
    static const bool initialised = [] {
        g_mime_init();
        return true;
    }();
    (void)initialised;
}

// A leaf part with the bytes as its content in the given encoding.
GMimePart* make_part(const char* type, const char* subtype, const void* data, std::size_t size,
                     GMimeContentEncoding encoding) {
    GMimePart* part = g_mime_part_new_with_type(type, subtype);
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(static_cast<const char*>(data), size);
    GMimeDataWrapper* wrapper = g_mime_data_wrapper_new_with_stream(stream, GMIME_CONTENT_ENCODING_DEFAULT);
    g_mime_part_set_content(part, wrapper);
    g_object_unref(wrapper);
    g_object_unref(stream);
    g_mime_part_set_content_encoding(part, encoding);
    return part;
}

// Adds the recipients of a semicolon- (or comma-) separated text.
void add_recipients(InternetAddressList* list, const std::string& recipients) {
    std::size_t start = 0;
    while (start <= recipients.size()) {
        std::size_t end = recipients.find_first_of(";,", start);
        if (end == std::string::npos) end = recipients.size();
        std::string one = recipients.substr(start, end - start);
        std::size_t first = one.find_first_not_of(" \t");
        if (first != std::string::npos) {
            one = one.substr(first, one.find_last_not_of(" \t") - first + 1);
            InternetAddressList* parsed = internet_address_list_parse(nullptr, one.c_str());
            if (parsed && internet_address_list_length(parsed) > 0) {
                for (int i = 0; i < internet_address_list_length(parsed); ++i)
                    internet_address_set_charset(internet_address_list_get_address(parsed, i), "utf-8");
                internet_address_list_append(list, parsed);
            } else {
                InternetAddress* raw = internet_address_mailbox_new(nullptr, one.c_str());
                internet_address_set_charset(raw, "utf-8");
                internet_address_list_add(list, raw);
                g_object_unref(raw);
            }
            if (parsed) g_object_unref(parsed);
        }
        start = end + 1;
    }
}

// The whole message as bytes, lines ending in LF as Maildir keeps them.
std::vector<uint8_t> compose(const std::string& sender, const std::vector<std::pair<std::string, std::string>>& fields,
                             const std::string& text, uint64_t file_time,
                             const std::vector<std::pair<std::string, std::vector<uint8_t>>>& parts) {
    ensure_gmime();
    GMimeMessage* message = g_mime_message_new(TRUE);
    InternetAddress* from = internet_address_mailbox_new(nullptr, sender.c_str());
    internet_address_set_charset(from, "utf-8");
    internet_address_list_add(g_mime_message_get_from(message), from);
    g_object_unref(from);
    for (const auto& [name, value] : fields) {
        if (name == "To") add_recipients(g_mime_message_get_addresses(message, GMIME_ADDRESS_TYPE_TO), value);
        else if (name == "Cc") add_recipients(g_mime_message_get_addresses(message, GMIME_ADDRESS_TYPE_CC), value);
        else if (name == "Subject") g_mime_message_set_subject(message, value.c_str(), "utf-8");
        else g_mime_object_set_header(GMIME_OBJECT(message), name.c_str(), value.c_str(), "utf-8");
    }
    int64_t unix_seconds = fs::unix_seconds_of_file_time(file_time);
    if (file_time == 0) unix_seconds = static_cast<int64_t>(::time(nullptr));
    if (GDateTime* date = g_date_time_new_from_unix_local(unix_seconds)) {
        g_mime_message_set_date(message, date);
        g_date_time_unref(date);
    }
    std::string domain = host_name();
    if (std::size_t at = sender.rfind('@'); at != std::string::npos) domain = sender.substr(at + 1);
    char* id = g_mime_utils_generate_message_id(domain.c_str());
    g_mime_message_set_message_id(message, id);
    g_free(id);

    GMimeMultipart* mixed = g_mime_multipart_new_with_subtype("mixed");
    // The text is UTF-8 as it stands: GMime would pick Latin-1 when it fits.
    GMimePart* body = make_part("text", "plain", text.data(), text.size(), GMIME_CONTENT_ENCODING_DEFAULT);
    g_mime_object_set_content_type_parameter(GMIME_OBJECT(body), "charset", "utf-8");
    g_mime_part_set_content_encoding(body, g_mime_part_get_best_content_encoding(body, GMIME_ENCODING_CONSTRAINT_7BIT));
    g_mime_multipart_add(mixed, GMIME_OBJECT(body));
    g_object_unref(body);
    for (const auto& [name, content] : parts) {
        auto [type, subtype] = content_type(content);
        GMimePart* part = make_part(type, subtype, content.data(), content.size(), GMIME_CONTENT_ENCODING_BASE64);
        g_mime_part_set_filename(part, name.c_str());
        g_mime_multipart_add(mixed, GMIME_OBJECT(part));
        g_object_unref(part);
    }
    g_mime_message_set_mime_part(message, GMIME_OBJECT(mixed));
    g_object_unref(mixed);

    GMimeStream* out = g_mime_stream_mem_new();
    g_mime_object_write_to_stream(GMIME_OBJECT(message), nullptr, out);
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out));
    std::vector<uint8_t> result(bytes->data, bytes->data + bytes->len);
    g_object_unref(out);
    g_object_unref(message);
    return result;
}

}  // namespace

std::string default_maildir() {
    if (const char* dir = std::getenv("QELVIO_MAILDIR"); dir && *dir) return dir;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/Maildir";
}

MaildirStore::MaildirStore(std::string maildir, std::string from)
    : root(std::move(maildir)), sender(from.empty() ? default_sender() : std::move(from)) {}

MaildirStore::~MaildirStore() = default;

int MaildirStore::open(int create) {
    opened = make_maildir(root, create) && make_maildir(outbox_path(), create) &&
             ::access(outbox_path().c_str(), W_OK) == 0;
    if (opened) {
        // Marks a Maildir++ subfolder for the mail programs that look for it.
        int fd = ::open((outbox_path() + "/maildirfolder").c_str(), O_WRONLY | O_CREAT, 0600);
        if (fd >= 0) ::close(fd);
    }
    return opened ? 1 : 0;
}

void MaildirStore::name_folder(int folder, const char16_t* name) {
    if (name) folder_names[folder] = text::to_utf8(name);
    else folder_names.erase(folder);
}

MaildirStore::Stored* MaildirStore::find(const MailMessage& message) {
    auto it = messages.find(message.id);
    return it == messages.end() ? nullptr : &it->second;
}

void MaildirStore::set_header_field(MailMessage& message, const char16_t* field, const char16_t* value) {
    Stored* stored = find(message);
    if (!stored) {
        // Fields may come before the message is stored: it is stored then.
        message.id = next_id++;
        stored = &messages[message.id];
    }
    std::string name = text::to_utf8(field);
    for (auto& f : stored->fields)
        if (f.first == name) {
            f.second = text::to_utf8(value);
            return;
        }
    stored->fields.emplace_back(name, text::to_utf8(value));
}

void MaildirStore::store_message(MailMessage& message, int folder) {
    Stored* stored = find(message);
    if (!stored) {
        message.id = next_id++;
        stored = &messages[message.id];
    }
    stored->folder = folder;
    stored->text = text::to_utf8(message.text);
    stored->time = message.time;
}

int MaildirStore::add_attachment(MailMessage& message, const MailAttachment& attachment) {
    Stored* stored = find(message);
    if (!opened || !stored) return 0;
    auto size = fs::file_size(attachment.path);
    uint32_t handle = fs::open_file(attachment.path, fs::OpenMode::read_existing);
    if (!size || !handle) {
        if (handle) fs::close_file(handle);
        return 0;
    }
    Part part;
    part.name = text::to_utf8(attachment.name);
    bool complete = true;
    try {
        part.content.resize(static_cast<std::size_t>(*size));
    } catch (const std::bad_alloc&) {
        complete = false;
    }
    for (std::size_t done = 0; complete && done < part.content.size();) {
        uint32_t piece = static_cast<uint32_t>(std::min<std::size_t>(part.content.size() - done, 1 << 20));
        int64_t got = fs::read_file(handle, part.content.data() + done, piece);
        complete = got == piece;
        done += piece;
    }
    fs::close_file(handle);
    if (!complete) return 0;
    stored->parts.push_back(std::move(part));
    return 1;
}

void MaildirStore::delete_message(MailMessage& message) {
    messages.erase(message.id);
    message.id = 0;
}

void MaildirStore::move_message(MailMessage& message, int folder, uint32_t, uint32_t) {
    Stored* stored = find(message);
    if (!stored) return;
    if (folder != kOutboxFolder) {
        stored->folder = folder;
        return;
    }
    delivered.clear();
    if (opened && write_outbox(*stored)) messages.erase(message.id);
}

bool MaildirStore::write_outbox(const Stored& message) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> parts;
    for (const Part& p : message.parts) parts.emplace_back(p.name, p.content);
    std::vector<uint8_t> bytes = compose(sender, message.fields, message.text, message.time, parts);
    std::string name = unique_name();
    std::string temporary = outbox_path() + "/tmp/" + name;
    std::string final_path = outbox_path() + "/new/" + name;
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = write_all(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), final_path.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    sync_folder(outbox_path() + "/new");
    delivered = name;
    return true;
}

void MaildirStore::close() {
    opened = false;
    messages.clear();
}

}  // namespace qelvio::sharing
