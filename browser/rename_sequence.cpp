#include "browser/rename_sequence.h"

#include "platform/text.h"
#include "resources/browser_texts.h"

#include <fmt/format.h>
#include <fmt/printf.h>

#include <algorithm>

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

namespace {

// Gives a file a free name beside its own (stem + " (renaming)" + extension,
// numbered when taken) so that an earlier file of the same rename can take
// its name; the file stays visible in its folder meanwhile.
int32_t move_aside(p_filenode* file) {
    const p_string own = file->getname();
    std::u16string_view stem = name_stem(own.view()), extension = name_extension(own.view());
    p_filenode* folder = file->getparent();
    if (!folder) return P_FAILED;
    for (int n = 1; n < 1000; ++n) {
        std::u16string aside = std::u16string(stem) + (n == 1 ? std::u16string(u" (renaming)")
                                                              : text::to_utf16(fmt::format(" (renaming {})", n)));
        aside += extension;
        if (folder->getexactchild(aside.c_str(), true)) continue;
        return file->rename(aside.c_str());
    }
    return P_ALREADY_EXISTS;
}

}  // namespace

int rename_files(const std::vector<p_filenode*>& files, std::u16string_view name, int digits,
                 FileOperationFeedback& feedback) {
    const bool several = files.size() >= 2;
    if (several && (digits < kRenameMinDigits || digits > kRenameMaxDigits)) return -1;
    std::unique_ptr<p_overwriteprompt> prompt = feedback.make_prompt(several);
    // The names the files had: a file moved aside keeps its place in the
    // messages under the name the user knew.
    std::vector<p_string> original;
    for (p_filenode* file : files) original.push_back(file ? file->getname() : p_string());
    auto batch_index = [&files](const p_filenode* node) -> std::ptrdiff_t {
        auto found = std::find(files.begin(), files.end(), node);
        return found == files.end() ? -1 : found - files.begin();
    };
    int failures = 0;
    for (std::size_t k = 0; k < files.size(); ++k) {
        p_filenode* file = files[k];
        if (!file || !file->getfile()) continue;
        const int number = static_cast<int>(k) + 1;  // grows for every file, also after failures
        const p_string& old_name = original[k];
        std::u16string new_name =
            sequence_name(name, digits, number, name_extension(old_name.view()), several).value_or(u"");
        if (new_name == file->getname().view()) continue;  // nothing to move, nothing to ask
        p_filenode* folder = file->getparent();
        int32_t status = P_OK;
        if (new_name.empty() || (new_name.front() == u'.' && old_name.view().front() != u'.')) {
            status = P_INVALID_NAME;
        } else if (!folder) {
            status = P_FAILED;
        } else {
            // A file of this same rename never gets replaced: one still to
            // come steps aside (it gets its own new name in its turn); one
            // already done or refused keeps its name and this one fails.
            p_filenode* holder = folder->getexactchild(new_name.c_str(), true);
            std::ptrdiff_t j = holder && holder != file ? batch_index(holder) : -1;
            if (j > static_cast<std::ptrdiff_t>(k))
                status = move_aside(holder);
            else if (j >= 0)
                status = P_ALREADY_EXISTS;
            if (status >= 0) status = p_copywithprompts(folder, file, true, prompt.get(), new_name.c_str());
        }
        // A file that stepped aside and then did not get its new name (an
        // answer No, or a failure) goes back to its own name when that is
        // still free.
        if (!file->isreleased() && folder && file->getname().view() != new_name &&
            file->getname().view() != old_name.view() && !folder->getexactchild(old_name.c_str(), true))
            file->rename(old_name.c_str());
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
