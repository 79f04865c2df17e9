#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace halvern::base {

/// The old conversion rules for values read from INI files and the per-user store. A value that
/// does not convert yields nothing, and the caller keeps what it had.
namespace ValueConversion {

/// "True"/"False" in any case, or a number: zero is false, any other number true.
std::optional<bool> toBoolean(std::string_view text);
/// A decimal number rounded half to even into the 16-bit signed range, or nothing.
std::optional<std::int16_t> toInt16(std::string_view text);
/// A decimal number rounded half to even into the 32-bit signed range, or nothing.
std::optional<std::int32_t> toInt32(std::string_view text);

/// The text without leading and trailing blanks and tabs.
std::string_view trimBlanks(std::string_view text);
/// The text with A-Z lower-cased; other bytes stay as they are.
std::string lowerAscii(std::string_view text);

}  // namespace ValueConversion

}  // namespace halvern::base
