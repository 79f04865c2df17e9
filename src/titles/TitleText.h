#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/ValueConversion.h"

namespace halvern::titles {

/// Window titles come from web pages and other programs: before a title reaches a ring, the log
/// or a list it is cut to 4 KiB (on a character boundary), invalid UTF-8 is repaired (each bad
/// byte becomes U+FFFD) and CR, LF and TAB become blanks.
std::string sanitiseTitle(std::string_view title);

/// Characters of a UTF-8 text (code points), not its bytes: every length test on titles and
/// entries counts these. A byte that begins no valid sequence counts as one character, as the
/// replacement character it becomes in a sanitised title.
std::size_t countCharacters(std::string_view text);

/// The text up to, not including, its first NUL; the text unchanged when it holds none.
std::string StripAtNull(std::string_view text);

/// ASCII lower case, as the list matching compares.
using base::ValueConversion::lowerAscii;
using base::ValueConversion::trimBlanks;

/// Whether the text contains the part, case-sensitive.
inline bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

/// Bytes of a title kept.
inline constexpr std::size_t kMaxTitleBytes = 4096;

}  // namespace halvern::titles
