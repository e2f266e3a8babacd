// Sending images by e-mail: the message is put together in the message
// store's scratch folder, each image is attached as a copy of its file or,
// when a reduction is chosen and the image is larger, decoded at a reduced
// scale, resampled and saved as a JPEG at quality 50; the finished message
// goes to the outbox, or is deleted when the user discards it.
//
// Questions (35031, 35032, 35033) go to the UserQuestion with the image's
// file name; the caller shows the message of the result (35029 or 35034).
// Every temporary file made for an attachment is deleted before send_mail
// returns, whatever happened: the store keeps its own copy.
//
// Threading: the user-interface thread (the image objects are the thumbnail
// cache's and are used on that thread).
#pragma once

#include "decoding/transform/progress_window.h"
#include "platform/user_question.h"
#include "sharing/mail/message_store.h"
#include "thumbnails/p_thumbcache.h"

#include <string>
#include <vector>

namespace qelvio::sharing {

// What the e-mail dialog gathered.
struct MailRequest {
    std::u16string to;       // recipients separated by semicolons
    std::u16string subject;
    std::u16string text;
    int reduction = 0;       // list position of "Reduce images to:"
    std::vector<p_irl> images;  // in selection order
};

// How a send ended: the message to show (35029 stored in the outbox, 35034
// the store is not accessible, 0 the user discarded it), and the images
// attached and left out.
struct MailResult {
    int message = 0;
    int attached = 0;
    std::vector<std::u16string> left_out;
};

MailResult send_mail(const MailRequest& request, MessageStore& store, thumbnails::p_thumbcache& images,
                     platform::UserQuestion& question, decoding::ProgressWindow* progress = nullptr);

}  // namespace qelvio::sharing
