#include "helper/Protocol.h"

namespace halvern::helper::protocol {

namespace {

/// The fields each kind carries, in order: an optional number, then 0..2 strings.
struct Shape {
    bool number = false;
    int strings = 0;
};

std::optional<Shape> shapeOf(Kind kind) {
    switch (kind) {
        case Kind::Hello:
            return Shape{true, 0};
        case Kind::WriteFile:
        case Kind::CopyFile:
        case Kind::RenameFile:
            return Shape{false, 2};
        case Kind::RemoveFile:
        case Kind::Recover:
        case Kind::HeldByOther:
        case Kind::NotAuthorised:
        case Kind::Failed:
            return Shape{false, 1};
        case Kind::FlushNameCaches:
        case Kind::TakePort80:
        case Kind::Granted:
        case Kind::Done:
        case Kind::Listener:
            return Shape{false, 0};
        case Kind::VersionMismatch:
            return Shape{true, 1};
    }
    return std::nullopt;
}

void putNumber(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xff));
    }
}

std::uint32_t numberAt(std::string_view bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    }
    return value;
}

/// Takes a number off the front of the input; false when fewer than 4 bytes are left.
bool takeNumber(std::string_view& input, std::uint32_t& value) {
    if (input.size() < 4) {
        return false;
    }
    value = numberAt(input);
    input.remove_prefix(4);
    return true;
}

bool takeString(std::string_view& input, std::string& value) {
    std::uint32_t length = 0;
    if (!takeNumber(input, length) || length > input.size()) {
        return false;
    }
    value.assign(input.substr(0, length));
    input.remove_prefix(length);
    return true;
}

}  // namespace

std::string encode(const Message& message) {
    const Shape shape = shapeOf(message.kind).value_or(Shape{});
    std::string payload(1, static_cast<char>(message.kind));
    if (shape.number) {
        putNumber(payload, message.version);
    }
    for (int i = 0; i < shape.strings; ++i) {
        const std::string& text = i == 0 ? message.first : message.second;
        putNumber(payload, static_cast<std::uint32_t>(text.size()));
        payload += text;
    }
    std::string frame;
    frame.reserve(kPrefix + payload.size());
    putNumber(frame, static_cast<std::uint32_t>(payload.size()));
    return frame + payload;
}

FrameCut cutFrame(std::string_view buffer, std::size_t maxFrame) {
    if (buffer.size() < kPrefix) {
        return {};
    }
    const std::size_t length = numberAt(buffer);
    if (length > maxFrame) {
        return {FrameCut::Status::TooLarge, 0};
    }
    if (buffer.size() - kPrefix < length) {
        return {FrameCut::Status::Incomplete, kPrefix + length};
    }
    return {FrameCut::Status::Complete, kPrefix + length};
}

std::optional<Message> decode(std::string_view payload) {
    if (payload.empty()) {
        return std::nullopt;
    }
    Message message;
    message.kind = static_cast<Kind>(payload.front());
    const auto shape = shapeOf(message.kind);
    if (!shape) {
        return std::nullopt;
    }
    payload.remove_prefix(1);
    if (shape->number && !takeNumber(payload, message.version)) {
        return std::nullopt;
    }
    if ((shape->strings >= 1 && !takeString(payload, message.first)) ||
        (shape->strings >= 2 && !takeString(payload, message.second))) {
        return std::nullopt;
    }
    if (!payload.empty()) {
        return std::nullopt;
    }
    return message;
}

bool isAnswer(Kind kind) {
    return static_cast<std::uint8_t>(kind) >= static_cast<std::uint8_t>(Kind::Granted);
}

}  // namespace halvern::helper::protocol
