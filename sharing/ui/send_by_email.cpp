#include "sharing/ui/send_by_email.h"

#include "platform/ui/message_box.h"
#include "sharing/mail/desktop_mail.h"
#include "sharing/ui/email_dialog.h"
#include "shell/settings.h"

namespace qelvio::sharing {
namespace {

constexpr int kMessageStored = 35029;

std::u16string file_name(const p_irl& locator) {
    std::u16string_view path = locator.view();
    std::size_t slash = path.rfind(u'\\');
    return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace

std::optional<MailResult> send_by_email(QWidget* parent, const std::vector<p_irl>& images,
                                        thumbnails::p_thumbcache& cache, MessageStore& store,
                                        decoding::ProgressWindow* progress, bool stored_note) {
    if (images.empty()) return std::nullopt;
    std::vector<std::u16string> names;
    for (const p_irl& image : images) names.push_back(file_name(image));
    MailRequest request;
    {
        // The dialog writes its reduction index when it goes, before the
        // long work starts.
        EmailDialog dialog(names, parent);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        request = dialog.request();
    }
    request.images = images;
    platform::MessageBoxQuestion question(parent);
    MailResult result = send_mail(request, store, cache, question, progress);
    if (result.message == kMessageStored) {
        if (stored_note) platform::show_message(parent, platform::string_text(result.message), platform::MessageIcon::information);
    } else if (result.message) {
        platform::show_message(parent, platform::string_text(result.message), platform::MessageIcon::error);
    }
    return result;
}

void send_by_email(QWidget* parent, const std::vector<p_irl>& images, thumbnails::p_thumbcache& cache,
                   decoding::ProgressWindow* progress) {
    if (shell::settings().mail_program) {
        // The mail program's own window is the confirmation.
        DesktopMailStore store;
        send_by_email(parent, images, cache, store, progress, false);
    } else {
        MaildirStore store;
        send_by_email(parent, images, cache, store, progress, true);
    }
}

}  // namespace qelvio::sharing
