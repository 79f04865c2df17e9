#include "platform/browser/DevToolsFraming.h"

#include <utility>

namespace halvern::platform {

void DevToolsMessageReader::feed(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\0');
        const std::string_view piece = bytes.substr(0, end);
        if (m_skipping) {
            m_skipped += piece.size();
        } else if (m_buffer.size() + piece.size() > m_cap) {
            // Too long: drop what was gathered and the rest of this message.
            m_skipping = true;
            m_skipped = m_buffer.size() + piece.size();
            m_buffer.clear();
            m_buffer.shrink_to_fit();
        } else {
            m_buffer.append(piece);
        }
        if (end == std::string_view::npos) {
            return;
        }
        bytes.remove_prefix(end + 1);
        if (m_skipping) {
            m_skipping = false;
            const std::size_t dropped = m_skipped + 1;
            m_skipped = 0;
            if (onOversize) {
                onOversize(dropped);
            }
            continue;
        }
        // The handler may feed more or destroy nothing; hand it the message and start afresh.
        const std::string message = std::move(m_buffer);
        m_buffer.clear();
        if (onMessage) {
            onMessage(message);
        }
    }
}

bool devToolsNestedWithin(std::string_view message, int limit) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : message) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if ((c == '[' || c == '{') && ++depth > limit) {
            return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

}  // namespace halvern::platform
