#include "sharing/mail/mail_sender.h"

#include "decoding/source/jpeg_writer.h"
#include "platform/file_system.h"
#include "qelvio/p_fileops.h"
#include "resources/string_table.h"
#include "sharing/mail/reduction.h"

#include <algorithm>

namespace qelvio::sharing {
namespace {

namespace fs = qelvio::platform;
using decoding::p_ImageSource;

constexpr int kMailQuality = 50;
constexpr int kQuestionDecodeLower = 35031;
constexpr int kQuestionDecodeFailed = 35032;
constexpr int kQuestionCannotSend = 35033;
constexpr int kMessageStored = 35029;
constexpr int kMessageStoreClosed = 35034;
constexpr int kTextSending = 35030;

// The temporary files of one send, deleted when it ends.
class TemporaryFiles {
public:
    ~TemporaryFiles() {
        for (const auto& path : paths) fs::delete_file(path);
    }
    // A new file in the temporary folder, or empty.
    std::u16string make() {
        p_string folder = p_temporaryfolder();
        auto path = fs::create_unique_file(folder.view(), u"olm");
        if (!path) return {};
        paths.push_back(*path);
        return *path;
    }

private:
    std::vector<std::u16string> paths;
};

enum class Prepared { ready, failed, left_out, discard };

// Copies the image's file unchanged.
Prepared copy_unchanged(p_ImageSource& image, const std::u16string& temporary) {
    p_filenode* file = image.resolve_file();
    return file && p_export(file, temporary.c_str()) == P_OK ? Prepared::ready : Prepared::failed;
}

// Decodes at the reduced scale (asking when decoding fails), resamples and
// saves as JPEG into the temporary file.
Prepared reduce(p_ImageSource& image, int64_t pixels, int64_t target, const std::u16string& name,
                const std::u16string& temporary, platform::UserQuestion& question) {
    int g = decode_divisor(pixels, target);
    bool lower_accepted = false;
    for (;;) {
        if (image.decode(decoding::kRequestWholeImage, 1000 / g, nullptr) == P_OK && image.whole_image()) break;
        image.release(decoding::kReleaseWholeImage);
        if (g >= 8) {
            if (question.ask(kQuestionDecodeFailed, name, platform::kButtonsYesNo) == platform::kAnswerYes)
                return copy_unchanged(image, temporary);
            return Prepared::left_out;
        }
        if (!lower_accepted) {
            int answer = question.ask(kQuestionDecodeLower, name, platform::kButtonsYesNoCancel);
            if (answer == platform::kAnswerCancel) return Prepared::discard;
            if (answer != platform::kAnswerYes) return Prepared::left_out;
            lower_accepted = true;
        }
        g *= 2;
    }
    const imaging::Dib& decoded = *image.whole_image();
    int w = imaging::DibWidth(decoded), h = imaging::DibHeight(decoded);
    imaging::DibSize size = resampled_size(w, h, target);
    bool ok = true;
    if (size.width != w || size.height != h) {
        imaging::DibPtr smaller = imaging::DibResize(decoded, std::max(size.width, 1), std::max(size.height, 1),
                                                     imaging::Lanczos3);
        if (smaller) image.replace_whole_image(std::move(smaller));
        else ok = false;
    }
    ok = ok && decoding::write_jpeg(image, temporary, kMailQuality, false) == P_OK;
    image.release(decoding::kReleaseWholeImage);
    return ok ? Prepared::ready : Prepared::failed;
}

std::u16string file_name(const p_irl& locator) {
    std::u16string_view path = locator.view();
    std::size_t slash = path.rfind(u'\\');
    return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace

MailResult send_mail(const MailRequest& request, MessageStore& store, thumbnails::p_thumbcache& images,
                     platform::UserQuestion& question, decoding::ProgressWindow* progress) {
    MailResult result;
    if (!store.open(1)) {
        result.message = kMessageStoreClosed;
        return result;
    }
    MailMessage message;
    message.time = fs::file_time_now();
    message.text = request.text;
    store.name_folder(kScratchFolder, u"olm_temp");
    store.set_header_field(message, u"Subject", request.subject.c_str());
    store.set_header_field(message, u"To", request.to.c_str());
    store.store_message(message, kScratchFolder);

    const int total = static_cast<int>(request.images.size());
    if (progress) {
        const char16_t* sending = resources::load_string(kTextSending);
        progress->create(sending ? sending : u"", 0, total);
    }
    int64_t target = reduction_pixels(request.reduction);
    TemporaryFiles temporaries;
    uint32_t number = 1;
    bool discard = false;
    for (int i = 0; i < total && !discard; ++i) {
        if (progress) progress->step(i + 1);
        const p_irl& locator = request.images[static_cast<std::size_t>(i)];
        std::u16string name = file_name(locator);
        p_ImageSource* image = images.getimage(locator);
        std::u16string temporary = temporaries.make();
        Prepared prepared = Prepared::failed;
        if (image && !temporary.empty()) {
            imaging::DibSize size = image->size();
            int64_t pixels = static_cast<int64_t>(std::max(size.width, 0)) * std::max(size.height, 0);
            prepared = send_unchanged(pixels, target) ? copy_unchanged(*image, temporary)
                                                      : reduce(*image, pixels, target, name, temporary, question);
        }
        if (prepared == Prepared::ready) {
            MailAttachment attachment{number, name, temporary};
            if (store.add_attachment(message, attachment)) {
                ++number;
                ++result.attached;
                continue;
            }
            prepared = Prepared::failed;
        }
        if (prepared == Prepared::failed)
            prepared = question.ask(kQuestionCannotSend, name, platform::kButtonsYesNo) == platform::kAnswerYes
                           ? Prepared::discard
                           : Prepared::left_out;
        if (prepared == Prepared::discard) discard = true;
        else result.left_out.push_back(name);
    }
    if (discard) {
        store.delete_message(message);
    } else {
        store.move_message(message, kOutboxFolder, 0xFFFF, 0);
    }
    store.name_folder(kScratchFolder, nullptr);
    bool moved = !discard && store.moved();
    store.close();
    if (progress) progress->close();
    result.message = discard ? 0 : moved ? kMessageStored : kMessageStoreClosed;
    return result;
}

}  // namespace qelvio::sharing
