#include "viewer/resize_fields.h"

#include <cctype>
#include <charconv>
#include <cstdio>

namespace qelvio::viewer {
namespace {

std::string whole(float value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.0f", static_cast<double>(value));
    return buffer;
}

// A whole number (optional sign, digits, surrounding blanks), as a dialog's
// integer field reads it.
bool parse_integer(const std::string& text, int& value) {
    std::size_t begin = text.find_first_not_of(" \t"), end = text.find_last_not_of(" \t");
    if (begin == std::string::npos) return false;
    const char* first = text.data() + begin;
    const char* last = text.data() + end + 1;
    if (*first == '+') ++first;
    auto [ptr, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && ptr == last;
}

}  // namespace

int leading_number(const std::string& text) {
    long long value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        value = value * 10 + (c - '0');
        if (value > 1000000000) break;  // far past any size: stays out of range
    }
    return static_cast<int>(value);
}

ResizeFields::ResizeFields(int width, int height)
    : opening_width_(width), opening_height_(height), width_(std::to_string(width)), height_(std::to_string(height)) {}

void ResizeFields::set_width_text(const std::string& text) {
    width_ = text;
    if (!locked_ || opening_width_ <= 0) return;
    float ratio = static_cast<float>(opening_height_) / static_cast<float>(opening_width_);
    height_ = whole(static_cast<float>(leading_number(text)) * ratio);
}

void ResizeFields::set_height_text(const std::string& text) {
    height_ = text;
    if (!locked_ || opening_height_ <= 0) return;
    float ratio = static_cast<float>(opening_width_) / static_cast<float>(opening_height_);
    width_ = whole(static_cast<float>(leading_number(text)) * ratio);
}

void ResizeFields::fit_width(int screen_width) { set_width_text(std::to_string(screen_width)); }
void ResizeFields::fit_height(int screen_height) { set_height_text(std::to_string(screen_height)); }

int ResizeFields::validate(int& width, int& height) const {
    auto good = [](const std::string& text, int& out) {
        return parse_integer(text, out) && out >= kResizeMinimum && out <= kResizeMaximum;
    };
    if (!good(width_, width)) return kResizeWidth;
    if (!good(height_, height)) return kResizeHeight;
    return 0;
}

}  // namespace qelvio::viewer
