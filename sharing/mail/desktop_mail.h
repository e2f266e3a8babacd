// A message store that hands the finished message to the desktop's mail
// program instead of leaving it in the outbox: moving the message to the
// outbox runs `xdg-email` with the recipients, subject, text and attachments,
// and the user sends it from the mail program's window.
//
// The mail program reads the attachments after the sender has deleted its
// temporary files, so the store keeps its own copies, one folder per
// message under `folder` (default $XDG_CACHE_HOME/qelvio/mail). A kept
// folder is removed when the message is deleted, and otherwise at a later
// send once it is a day old.
//
// Threading: the user-interface thread. Moving to the outbox waits at most
// a few seconds for `xdg-email`: some mail programs keep it running until
// their window closes, which counts as handed over.
#pragma once

#include "sharing/mail/message_store.h"

#include <string>
#include <vector>

namespace qelvio::sharing {

// $XDG_CACHE_HOME/qelvio/mail (else ~/.cache/qelvio/mail).
std::string default_handoff_folder();

class DesktopMailStore : public MessageStore {
public:
    // program: the command run for the hand-off (xdg-email's arguments).
    explicit DesktopMailStore(std::string folder = default_handoff_folder(), std::string program = "xdg-email");

    int open(int create) override;
    void name_folder(int, const char16_t*) override {}
    void set_header_field(MailMessage& message, const char16_t* field, const char16_t* value) override;
    void store_message(MailMessage& message, int folder) override;
    int add_attachment(MailMessage& message, const MailAttachment& attachment) override;
    void delete_message(MailMessage& message) override;
    void move_message(MailMessage& message, int folder, uint32_t mask, uint32_t options) override;
    void close() override {}
    bool moved() const override { return handed_over; }

    // The folder holding this message's attachment copies.
    const std::string& message_folder() const { return kept; }
    // The arguments of the last hand-off (for the report and tests).
    const std::vector<std::string>& last_command() const { return command; }

private:
    std::string root;
    std::string program;
    std::string kept;
    std::string to, subject, text;
    std::vector<std::string> attachments;  // local paths of the copies
    std::vector<std::string> command;
    bool handed_over = false;
};

// The addresses of a recipient text (separated by semicolons or commas),
// trimmed, empty ones dropped.
std::vector<std::string> split_recipients(const std::string& to);

}  // namespace qelvio::sharing
