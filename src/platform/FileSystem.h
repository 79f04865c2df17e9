#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace halvern::platform {

/// Whole-file access. Files are read and written whole; writes replace a file atomically.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    /// The whole file, or nothing when it is missing or unreadable.
    virtual std::optional<std::string> read(const std::string& path) const = 0;
    /// Replaces the file's content: the file is either the old or the new one after any crash.
    /// Keeps an existing file's owner and mode. False when the file could not be written.
    virtual bool write(const std::string& path, const std::string& content) = 0;
    virtual bool exists(const std::string& path) const = 0;
    virtual bool isDirectory(const std::string& path) const = 0;
    /// Size in bytes, or nothing for a missing file.
    virtual std::optional<std::uint64_t> size(const std::string& path) const = 0;
    /// Copies a file over the target, atomically; false on any failure.
    virtual bool copy(const std::string& from, const std::string& to) = 0;
    /// Renames a file over the target; false on any failure.
    virtual bool rename(const std::string& from, const std::string& to) = 0;
    /// Deletes a file; false when it did not exist or could not be deleted.
    virtual bool remove(const std::string& path) = 0;
    /// Creates the folder and its parents; false on failure.
    virtual bool makeDirectories(const std::string& path) = 0;
};

}  // namespace halvern::platform
