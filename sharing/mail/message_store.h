// The message store: where a finished e-mail is left for a mail program to
// deliver. The e-mail sender makes exactly these eight calls; MaildirStore
// keeps them on a Maildir, and tests may give the sender a store of their
// own.
//
// Folder 123 is a scratch folder: a message stored there lives only in the
// store object (nothing there is delivered). Folder 253 is the outbox: a
// message moved there is written as one complete MIME message (UTF-8
// headers and text, base64 attachments) into the Maildir folder ".Outbox",
// first under tmp/ and flushed, then renamed into new/, so a crash never
// leaves half a message where a mail program looks.
//
// Threading: one thread uses a store at a time.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qelvio::sharing {

inline constexpr int kScratchFolder = 123;
inline constexpr int kOutboxFolder = 253;
inline constexpr uint32_t kMessageFlags = 0x00400000;

// One message being put together. The store fills `id` when it is stored.
struct MailMessage {
    uint32_t flags = kMessageFlags;
    uint64_t time = 0;  // 64-bit file time (100 ns since 1601)
    std::u16string text;
    uint32_t id = 0;
};

// One attachment: its number (1 for the first), the name shown to the
// recipient, and the file holding its content. The store takes a copy of
// the content when it accepts it, so the file may go afterwards.
struct MailAttachment {
    uint32_t number = 0;
    std::u16string name;
    std::u16string path;  // device path
};

class MessageStore {
public:
    virtual ~MessageStore() = default;
    // Opens the store; with create, makes what is missing. Nonzero on success.
    virtual int open(int create) = 0;
    // Names a folder; null removes the name.
    virtual void name_folder(int folder, const char16_t* name) = 0;
    // Sets a header field ("Subject", "To") of a message.
    virtual void set_header_field(MailMessage& message, const char16_t* field, const char16_t* value) = 0;
    // Keeps the message in a folder.
    virtual void store_message(MailMessage& message, int folder) = 0;
    // Adds an attachment; nonzero when the store took it.
    virtual int add_attachment(MailMessage& message, const MailAttachment& attachment) = 0;
    // Forgets a stored message.
    virtual void delete_message(MailMessage& message) = 0;
    // Moves a message to a folder (253, the outbox, with 0xFFFF and 0).
    virtual void move_message(MailMessage& message, int folder, uint32_t mask, uint32_t options) = 0;
    virtual void close() = 0;
    // Whether the last move to the outbox put the message there. The
    // handheld's store gave no answer; this one can fail to write, and the
    // sender must not then say the message is in the outbox.
    virtual bool moved() const { return true; }
};

// The Maildir at QELVIO_MAILDIR, else ~/Maildir.
std::string default_maildir();

class MaildirStore : public MessageStore {
public:
    // `from` is the sender's address for the From field; empty takes
    // QELVIO_MAIL_FROM, then EMAIL, then user@host.
    explicit MaildirStore(std::string maildir = default_maildir(), std::string from = {});
    ~MaildirStore() override;

    int open(int create) override;
    void name_folder(int folder, const char16_t* name) override;
    void set_header_field(MailMessage& message, const char16_t* field, const char16_t* value) override;
    void store_message(MailMessage& message, int folder) override;
    int add_attachment(MailMessage& message, const MailAttachment& attachment) override;
    void delete_message(MailMessage& message) override;
    void move_message(MailMessage& message, int folder, uint32_t mask, uint32_t options) override;
    void close() override;
    bool moved() const override { return !delivered.empty(); }

    // The file name in .Outbox/new of the last message moved there (empty
    // when none was, or writing it failed).
    const std::string& last_delivered() const { return delivered; }
    // The local path of the outbox folder.
    std::string outbox_path() const { return root + "/.Outbox"; }

private:
    struct Part {
        std::string name;  // UTF-8
        std::vector<uint8_t> content;
    };
    struct Stored {
        int folder = 0;
        std::vector<std::pair<std::string, std::string>> fields;  // UTF-8
        std::string text;
        uint64_t time = 0;
        std::vector<Part> parts;
    };
    Stored* find(const MailMessage& message);
    bool write_outbox(const Stored& message);

    std::string root;
    std::string sender;
    bool opened = false;
    uint32_t next_id = 1;
    std::map<uint32_t, Stored> messages;
    std::map<int, std::string> folder_names;
    std::string delivered;
};

}  // namespace qelvio::sharing
