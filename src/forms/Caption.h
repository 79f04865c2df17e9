#pragma once

#include <string>
#include <string_view>

namespace halvern::forms {

/// Text from data (an address, a window title) as a caption shows it: every "&" doubled, so that
/// it is shown as it is and marks no access key.
inline std::string escapeAccessKeys(std::string_view text) {
    std::string caption;
    caption.reserve(text.size());
    for (char c : text) {
        caption += c;
        if (c == '&') {
            caption += '&';
        }
    }
    return caption;
}

}  // namespace halvern::forms
