#include "app/cli/image_session.h"

#include "app/cli/locate.h"
#include "shell/known_folders.h"
#include "shell/settings.h"

namespace qelvio::cli {
namespace {

// Answers the conversion question the way the command line was told to.
class FixedAnswer : public platform::UserQuestion {
public:
    explicit FixedAnswer(int answer) : answer_(answer) {}
    int ask_yes_no_cancel(int) override { return answer_; }

private:
    int answer_;
};

}  // namespace

ImageSession::ImageSession() {
    std::u16string folder = shell::well_known_folder(shell::kThumbnailFolder).value_or(u"\\tmp");
    // A desktop's disk holds far more thumbnails than the handheld's 64.
    thumbcache = std::make_unique<thumbnails::p_thumbcache>(folder, decoding::ImageSourceLimits{},
                                                            thumbnails::kDesktopStored);
    mcp.setcachehooks(thumbcache.get());
}

ImageSession::~ImageSession() {
    thumbcache->stopsave();
    mcp.setcachehooks(nullptr);
}

decoding::p_ImageSource* ImageSession::image(const std::string& argument, const char* command) {
    p_filenode* node = locate(mcp, argument, command);
    if (!node) return nullptr;
    if (node->isdirectory()) {
        report(command, P_INVALID_LOCATION, argument);
        return nullptr;
    }
    p_irl locator;
    node->getirl(locator);
    return thumbcache->getimage(locator);
}

int ImageSession::save(decoding::p_ImageSource& image, bool keep_original, p_overwriteprompt* prompt) {
    shell::Settings settings;
    settings.load();
    FixedAnswer answer(keep_original ? platform::kAnswerYes : platform::kAnswerNo);
    decoding::SaveContext context;
    context.quality_setting = settings.savequality;
    context.question = &answer;
    context.prompt = prompt;
    context.forget = [this](const p_irl& locator) { thumbcache->forget(locator); };
    int status = decoding::save_image(image, context);
    thumbcache->save(false, false);  // the index forgets replaced thumbnails
    return status;
}

}  // namespace qelvio::cli
