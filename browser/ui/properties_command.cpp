#include "browser/ui/properties_command.h"

#include "browser/ui/overwrite_dialog.h"
#include "shell/settings.h"
#include "thumbnails/p_thumbcache.h"

namespace qelvio::browser {

PropertiesCommand::PropertiesCommand(QWidget* parent, const shell::Settings& settings,
                                     thumbnails::p_thumbcache& cache)
    : parent_(parent), prompt_(std::make_unique<OverwritePrompt>(false, &cache, parent)) {
    context_.prompt = prompt_.get();
    context_.busy = [this](bool on) {
        if (on)
            busy_.emplace();
        else
            busy_.reset();
    };
    context_.save.quality_setting = settings.savequality;
    context_.save.forget = [&cache](const p_irl& irl) { cache.forget(irl); };
}

PropertiesCommand::~PropertiesCommand() = default;

metadata::PropertiesOutcome PropertiesCommand::show_and_save(decoding::p_ImageSource& image, int first_page) {
    return metadata::run_properties(parent_, image, first_page, context_);
}

bool PropertiesCommand::show(decoding::p_ImageSource& image) {
    return metadata::show_properties(parent_, image, metadata::kPageGeneral, context_);
}

}  // namespace qelvio::browser
