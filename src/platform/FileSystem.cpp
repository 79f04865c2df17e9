#include "platform/FileSystem.h"

namespace halvern::platform {

ReadResult FileSystem::readLimited(const std::string& path, std::uint64_t maxBytes) const {
    auto content = read(path);
    if (!content) {
        if (!exists(path)) {
            return {std::nullopt, ReadFailure::Missing, {}};
        }
        return reported(
            path, {std::nullopt, isDirectory(path) ? ReadFailure::NotAFile : ReadFailure::Failed,
                   isDirectory(path) ? std::string() : "unreadable"});
    }
    if (content->size() > maxBytes) {
        return reported(path, {std::nullopt, ReadFailure::TooLarge,
                               std::to_string(content->size()) + " bytes"});
    }
    return {std::move(content), ReadFailure::None, {}};
}

void FileSystem::recover(const std::string&) {}

ReadResult FileSystem::reported(const std::string& path, ReadResult result) const {
    if (result.refused() && onReadRefused) {
        onReadRefused(path, result);
    }
    return result;
}

}  // namespace halvern::platform
