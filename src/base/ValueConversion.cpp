#include "base/ValueConversion.h"

#include <limits>

namespace halvern::base::ValueConversion {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && lowerAscii(a) == lowerAscii(b);
}

/// A trimmed decimal number with an optional sign and fraction, rounded half to even. Nothing
/// for text that is not such a number or whose magnitude is beyond any 32-bit value.
std::optional<std::int64_t> toRoundedInteger(std::string_view text) {
    text = trimBlanks(text);
    bool negative = false;
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    // Magnitudes past this cap are out of every range we convert to; keep counting digits only.
    constexpr std::int64_t kCap = std::int64_t{1} << 40;
    std::int64_t whole = 0;
    std::size_t digits = 0;
    for (; pos < text.size() && isDigit(text[pos]); ++pos, ++digits) {
        whole = whole >= kCap ? kCap : whole * 10 + (text[pos] - '0');
    }
    int firstFraction = -1;
    bool restNonZero = false;
    if (pos < text.size() && text[pos] == '.') {
        for (++pos; pos < text.size() && isDigit(text[pos]); ++pos, ++digits) {
            if (firstFraction < 0) {
                firstFraction = text[pos] - '0';
            } else if (text[pos] != '0') {
                restNonZero = true;
            }
        }
    }
    if (digits == 0 || pos != text.size()) {
        return std::nullopt;
    }
    const bool roundUp = firstFraction > 5 || (firstFraction == 5 && (restNonZero || whole % 2));
    if (roundUp) {
        ++whole;
    }
    return negative ? -whole : whole;
}

template <typename T>
std::optional<T> toRange(std::string_view text) {
    const auto value = toRoundedInteger(text);
    if (!value || *value < std::numeric_limits<T>::min() ||
        *value > std::numeric_limits<T>::max()) {
        return std::nullopt;
    }
    return static_cast<T>(*value);
}

}  // namespace

std::optional<bool> toBoolean(std::string_view text) {
    const std::string_view trimmed = trimBlanks(text);
    if (equalsNoCase(trimmed, "true")) {
        return true;
    }
    if (equalsNoCase(trimmed, "false")) {
        return false;
    }
    // Any number counts, however large: only its being zero matters.
    const auto number = toRoundedInteger(trimmed);
    if (number) {
        return *number != 0 || trimmed.find_first_of("123456789") != std::string_view::npos;
    }
    return std::nullopt;
}

std::optional<std::int16_t> toInt16(std::string_view text) {
    return toRange<std::int16_t>(text);
}

std::optional<std::int32_t> toInt32(std::string_view text) {
    return toRange<std::int32_t>(text);
}

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string lowerAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return result;
}

}  // namespace halvern::base::ValueConversion
