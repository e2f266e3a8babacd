#include "browser/rename_sequence.h"

#include "platform/text.h"
#include "resources/browser_texts.h"

#include <fmt/printf.h>

namespace qelvio::browser {

std::u16string_view name_extension(std::u16string_view file_name) {
    std::size_t dot = file_name.rfind(u'.');
    return dot == std::u16string_view::npos ? std::u16string_view() : file_name.substr(dot);
}

std::u16string_view name_stem(std::u16string_view file_name) {
    return file_name.substr(0, file_name.size() - name_extension(file_name).size());
}

std::optional<std::u16string> sequence_name(std::u16string_view name, int digits, int counter,
                                            std::u16string_view extension, bool several) {
    if (!several) return std::u16string(name) + std::u16string(extension);
    if (digits < kRenameMinDigits || digits > kRenameMaxDigits) return std::nullopt;
    // The pattern is made from the digit count ("%s%02d%s" for 2) and then
    // filled; the texts travel as UTF-8, so a "%" in a name is only text.
    try {
        std::string pattern = fmt::sprintf(text::to_utf8(resources::kTextRenamePattern), digits);
        return text::to_utf16(fmt::sprintf(pattern, text::to_utf8(name), counter, text::to_utf8(extension)));
    } catch (const fmt::format_error&) {
        return std::nullopt;
    }
}

int rename_files(const std::vector<p_filenode*>& files, std::u16string_view name, int digits,
                 FileOperationFeedback& feedback) {
    const bool several = files.size() >= 2;
    if (several && (digits < kRenameMinDigits || digits > kRenameMaxDigits)) return -1;
    std::unique_ptr<p_overwriteprompt> prompt = feedback.make_prompt(several);
    int failures = 0;
    int counter = 1;
    for (p_filenode* file : files) {
        const int number = counter++;
        if (!file || !file->getfile()) continue;
        const p_string old_name = file->getname();
        std::u16string new_name =
            sequence_name(name, digits, number, name_extension(old_name.view()), several).value_or(u"");
        int32_t status = P_OK;
        if (new_name == old_name.view()) {
            continue;  // it has that name already: nothing to move, nothing to ask
        } else if (new_name.empty() || (new_name.front() == u'.' && old_name.view().front() != u'.')) {
            status = P_INVALID_NAME;
        } else if (p_filenode* folder = file->getparent()) {
            status = p_copywithprompts(folder, file, true, prompt.get(), new_name.c_str());
        } else {
            status = P_FAILED;
        }
        if (status >= 0) continue;
        ++failures;
        p_string text;
        text.format(resources::kTextCantBeRenamedTo, old_name, new_name.c_str());
        feedback.showmessage(status_text(text, status));
        feedback.repaint_now();
    }
    return failures;
}

}  // namespace qelvio::browser
