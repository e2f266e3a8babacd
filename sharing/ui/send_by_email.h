// Sending the image list's selected images by e-mail (command 32895): the
// e-mail dialog, then the sender with its questions as message boxes and
// the progress window the caller passes, then the closing message.
//
// The message goes to the outbox of the Maildir (QELVIO_MAILDIR, else
// ~/Maildir), or, when the setting "emaildlg" / "mailprogram" is on, to the
// desktop's mail program through `xdg-email`. Temporary files of the
// attachments are gone when the call returns, whatever happened.
//
// User-interface thread only; the call returns when the send is over.
#pragma once

#include "decoding/transform/progress_window.h"
#include "sharing/mail/mail_sender.h"
#include "thumbnails/p_thumbcache.h"

#include <optional>
#include <vector>

class QWidget;

namespace qelvio::sharing {

// The command's entry point. images: the selected images in selection
// order (nothing happens without one); cache: the image list's thumbnail
// cache, whose image objects are decoded; progress: the window stepped
// once per image (may be null).
void send_by_email(QWidget* parent, const std::vector<p_irl>& images, thumbnails::p_thumbcache& cache,
                   decoding::ProgressWindow* progress = nullptr);

// The same into a given store; the result of the send, or nothing when the
// dialog was cancelled. Shows the closing message (35029 when `stored_note`,
// 35034 on failure) as the command does.
std::optional<MailResult> send_by_email(QWidget* parent, const std::vector<p_irl>& images,
                                        thumbnails::p_thumbcache& cache, MessageStore& store,
                                        decoding::ProgressWindow* progress, bool stored_note = true);

}  // namespace qelvio::sharing
