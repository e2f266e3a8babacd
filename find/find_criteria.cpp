#include "find/find_criteria.h"

#include <algorithm>

namespace qelvio::find {
namespace {

char lower_byte(char c) {
    auto u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) u = static_cast<unsigned char>(u + 32);
    return static_cast<char>(u);
}

}  // namespace

std::u16string lower_case(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out)
        if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c = static_cast<char16_t>(c + 32);
    return out;
}

int read_fields(const FindFields& fields, FindCriteria& criteria) {
    criteria = {};
    if (fields.size_mode != kSizeIgnored) {
        if (fields.size_text.empty()) return 35066;
        int64_t number = 0;
        for (char16_t c : fields.size_text) {
            if (c < u'0' || c > u'9') return 35067;
            number = number * 10 + (c - u'0');
            // No file reaches 2^40 kilobytes; a longer number is no size.
            if (number > (int64_t{1} << 40)) return 35067;
        }
        criteria.size_mode = fields.size_mode;
        criteria.kilobytes = number;
    }
    criteria.name = lower_case(fields.name);
    // Each 16-bit character keeps its low byte; words are split at spaces.
    std::string word;
    auto keep = [&] {
        if (!word.empty() && criteria.words.size() < kMaxWords) criteria.words.push_back(word);
        word.clear();
    };
    for (char16_t c : fields.words) {
        char b = static_cast<char>(c & 0xFF);
        if (b == ' ') keep();
        else word += lower_byte(b);
    }
    keep();
    criteria.select_all = fields.select_all;
    criteria.subfolders = fields.subfolders && !fields.select_all;
    return 0;
}

bool size_passes(const FindCriteria& criteria, int64_t bytes) {
    int64_t kilobytes = bytes / 1024;
    if (criteria.size_mode == kSizeGreater) return kilobytes >= criteria.kilobytes;
    if (criteria.size_mode == kSizeLess) return kilobytes <= criteria.kilobytes;
    return true;
}

bool name_passes(const FindCriteria& criteria, std::u16string_view file_name) {
    return criteria.name.empty() || lower_case(file_name).find(criteria.name) != std::u16string::npos;
}

bool words_pass(const FindCriteria& criteria, const metadata::ExifTagList* tags) {
    if (criteria.words.empty()) return true;
    if (!tags) return false;
    std::vector<bool> found(criteria.words.size(), false);
    std::size_t left = found.size();
    std::string entry;
    for (int group = 0; group < 3 && left; ++group) {
        for (std::size_t i = 0; i < tags->size(group) && left; ++i) {
            const metadata::ExifTag* tag = tags->at(group, i);
            if (!tag || tag->type() != 2) continue;
            const auto* bytes = reinterpret_cast<const char*>(tag->value_address());
            std::size_t size = std::min(tag->byte_size(), kMaxEntryBytes);
            if (!bytes) continue;
            entry.assign(bytes, size);
            // The text ends at its terminating zero.
            entry.resize(std::min(entry.size(), entry.find('\0')));
            std::transform(entry.begin(), entry.end(), entry.begin(), lower_byte);
            for (std::size_t w = 0; w < found.size(); ++w)
                if (!found[w] && entry.find(criteria.words[w]) != std::string::npos) {
                    found[w] = true;
                    --left;
                }
        }
    }
    return left == 0;
}

}  // namespace qelvio::find
