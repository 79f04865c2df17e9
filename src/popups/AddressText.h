#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace halvern::popups {

/// The most of an address that is shown in a caption or kept in a record: a page may name an
/// address of a megabyte, which no label and no log needs. Matching uses the whole address.
inline constexpr std::size_t kMaxShownAddress = 2048;

/// The address cut to kMaxShownAddress bytes (never inside a UTF-8 sequence), with "..." after
/// it when it was cut.
inline std::string shownAddress(std::string_view address) {
    if (address.size() <= kMaxShownAddress) {
        return std::string(address);
    }
    std::size_t end = kMaxShownAddress;
    while (end > 0 && (static_cast<unsigned char>(address[end]) & 0xC0U) == 0x80U) {
        --end;
    }
    return std::string(address.substr(0, end)) + "...";
}

}  // namespace halvern::popups
