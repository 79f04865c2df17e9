#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace halvern::helper {

/// The language Zorvik and zorvik-helper speak over the helper's Unix socket. Every message is a
/// frame: a 4-byte big-endian length, then that many bytes: a kind byte and the kind's fields (a
/// 4-byte big-endian number, or strings as a 4-byte big-endian length and the bytes). The first
/// frame is always Hello with the client's version; its layout never changes, so any two versions
/// can tell each other apart. Then one request at a time, each answered by Done, Failed or (for
/// TakePort80) Listener, which carries the descriptor as SCM_RIGHTS. Anything malformed ends the
/// connection.
namespace protocol {

/// Raised whenever a message's meaning changes.
inline constexpr std::uint32_t kVersion = 1;
/// The largest frame: a hosts file of 4 million blocked names is about 120 MB.
inline constexpr std::size_t kMaxFrame = 160u << 20;
/// The largest first frame: a Hello is 5 bytes, so a stranger cannot make the helper buffer more.
inline constexpr std::size_t kMaxHelloFrame = 64;
/// The length prefix.
inline constexpr std::size_t kPrefix = 4;

enum class Kind : std::uint8_t {
    // Zorvik to the helper. New kinds go at the end: the numbers are on the wire.
    Hello = 1,        ///< version: the client's protocol version; claims the helper
    WriteFile,        ///< first: path, second: the whole new content
    CopyFile,         ///< first: from, second: to
    RenameFile,       ///< first: from, second: to
    RemoveFile,       ///< first: path
    Recover,          ///< first: path
    FlushNameCaches,  ///< no fields
    TakePort80,       ///< no fields
    // The helper to Zorvik.
    Granted = 0x81,   ///< the claim holds until the connection closes
    HeldByOther,      ///< first: the user whose Zorvik holds the helper
    NotAuthorised,    ///< first: why
    VersionMismatch,  ///< version: the helper's protocol version; first: why, in words
    Done,             ///< the request was carried out
    Failed,           ///< first: why it was refused or failed
    Listener,         ///< the listening socket rides along as SCM_RIGHTS
};

/// One decoded message. Fields a kind does not have stay empty.
struct Message {
    Kind kind = Kind::Done;
    std::uint32_t version = 0;
    std::string first;
    std::string second;

    bool operator==(const Message&) const = default;
};

/// The message's frame, length prefix included.
std::string encode(const Message& message);

/// Where the buffer's first frame stands.
struct FrameCut {
    enum class Status { Incomplete, Complete, TooLarge } status = Status::Incomplete;
    /// The whole frame's length, prefix included, once the prefix has arrived (0 before, and
    /// for TooLarge).
    std::size_t length = 0;
};
/// Finds the first frame in what has arrived so far; a frame announced over maxFrame is TooLarge.
FrameCut cutFrame(std::string_view buffer, std::size_t maxFrame = kMaxFrame);

/// The message in a frame's payload (without its length prefix); nothing when the kind is
/// unknown, a field is cut short or bytes are left over.
std::optional<Message> decode(std::string_view payload);

/// True for the kinds the helper sends.
bool isAnswer(Kind kind);

}  // namespace protocol
}  // namespace halvern::helper
