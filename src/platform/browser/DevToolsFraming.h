#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace halvern::platform {

/// The browser's DevTools pipe carries JSON texts, each ended by a NUL byte; the launcher's relay
/// socket carries them the same way. Protocol input is hostile input: a message longer than the
/// cap is dropped whole (up to its NUL) and reported, and reading goes on with the next one.
class DevToolsMessageReader {
public:
    /// 32 MiB: far above anything the program asks for (it asks for no screenshots or bodies).
    static constexpr std::size_t kDefaultCap = std::size_t{32} * 1024U * 1024U;

    explicit DevToolsMessageReader(std::size_t cap = kDefaultCap) : m_cap(cap) {}

    /// Takes bytes as they arrive; calls onMessage for every complete message (without its NUL)
    /// and onOversize once for every message dropped for its size.
    void feed(std::string_view bytes);

    std::function<void(std::string_view message)> onMessage;
    std::function<void(std::size_t droppedBytes)> onOversize;

    /// Bytes of an unfinished message held now.
    std::size_t pending() const { return m_buffer.size(); }

private:
    std::size_t m_cap;
    std::string m_buffer;
    /// Inside a message over the cap: bytes are skipped until its NUL.
    bool m_skipping = false;
    std::size_t m_skipped = 0;
};

/// The protocol's messages nest a dozen levels; a reader refuses deeper ones before parsing, so
/// that no message can exhaust the parser's stack.
inline constexpr int kDevToolsMaxDepth = 128;

/// Whether the JSON text nests its arrays and objects no deeper than `limit` (text inside
/// strings skipped).
bool devToolsNestedWithin(std::string_view message, int limit = kDevToolsMaxDepth);

/// One message as it goes on the pipe: the JSON text and its NUL.
inline std::string devToolsFrame(std::string_view json) {
    std::string frame;
    frame.reserve(json.size() + 1);
    frame.append(json);
    frame.push_back('\0');
    return frame;
}

}  // namespace halvern::platform
