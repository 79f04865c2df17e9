#include "titles/TitleText.h"

#include <algorithm>

namespace halvern::titles {

namespace {

const std::string_view kReplacement = "\xEF\xBF\xBD";

/// Length of the valid UTF-8 sequence at the start of s, or 0 when it is not one.
std::size_t validSequence(std::string_view s) {
    const auto byte = [&s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        // No overlong forms and no surrogates.
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (s.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string sanitiseTitle(std::string_view title) {
    // Most titles are plain printable ASCII: one pass, one copy.
    if (title.size() <= kMaxTitleBytes &&
        std::ranges::all_of(title, [](char c) { return c >= 0x20 && c < 0x7F; })) {
        return std::string(title);
    }
    std::string clean;
    clean.reserve(title.size() < kMaxTitleBytes ? title.size() : kMaxTitleBytes);
    std::size_t i = 0;
    while (i < title.size()) {
        const std::size_t length = validSequence(title.substr(i));
        std::string_view piece = length == 0 ? kReplacement : title.substr(i, length);
        if (length == 1 && (title[i] == '\r' || title[i] == '\n' || title[i] == '\t')) {
            piece = " ";
        }
        if (clean.size() + piece.size() > kMaxTitleBytes) {
            break;
        }
        clean += piece;
        i += length == 0 ? 1 : length;
    }
    return clean;
}

std::size_t countCharacters(std::string_view text) {
    std::size_t count = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t length = validSequence(text.substr(i));
        i += length == 0 ? 1 : length;
        ++count;
    }
    return count;
}

std::string StripAtNull(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

}  // namespace halvern::titles
