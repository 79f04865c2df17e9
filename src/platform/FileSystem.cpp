#include "platform/FileSystem.h"

#include <utility>

namespace halvern::platform {

ReadResult FileSystem::readLimited(const std::string& path, std::uint64_t maxBytes) const {
    auto content = read(path);
    if (!content) {
        if (!exists(path)) {
            return {std::nullopt, ReadFailure::Missing, {}};
        }
        return reported(path, isDirectory(path)
                                  ? notAFile()
                                  : ReadResult{std::nullopt, ReadFailure::Failed, "unreadable"});
    }
    if (content->size() > maxBytes) {
        return reported(path, tooLarge(content->size(), maxBytes));
    }
    return {std::move(content), ReadFailure::None, {}};
}

void FileSystem::recover(const std::string&) {}

ReadResult FileSystem::notAFile() {
    return {std::nullopt, ReadFailure::NotAFile, "not a regular file"};
}

ReadResult FileSystem::tooLarge(std::uint64_t size, std::uint64_t limit) {
    return {std::nullopt, ReadFailure::TooLarge,
            std::to_string(size) + " bytes, over the limit of " + std::to_string(limit) + " bytes"};
}

bool FileSystem::writeFailed(std::string why) {
    m_writeError = std::move(why);
    return false;
}

ReadResult FileSystem::reported(const std::string& path, ReadResult result) const {
    if (result.refused() && onReadRefused) {
        onReadRefused(path, result);
    }
    return result;
}

}  // namespace halvern::platform
