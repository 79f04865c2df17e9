#pragma once

#include "platform/FileSystem.h"

namespace halvern::platform {

/// Files on the local disk through POSIX calls. A write goes to a temporary file in the target's
/// folder, is flushed to disk and renamed over the target, so a crash leaves the old or the new
/// file. A target that is a mount point (a bind-mounted /etc/hosts) cannot be renamed over: it is
/// rewritten in place, but only from a temporary copy that was written and read back first.
class PosixFileSystem final : public FileSystem {
public:
    std::optional<std::string> read(const std::string& path) const override;
    bool write(const std::string& path, const std::string& content) override;
    bool exists(const std::string& path) const override;
    bool isDirectory(const std::string& path) const override;
    std::optional<std::uint64_t> size(const std::string& path) const override;
    bool copy(const std::string& from, const std::string& to) override;
    /// Renames a file; across file systems (or onto a mount point) it copies and removes instead.
    bool rename(const std::string& from, const std::string& to) override;
    bool remove(const std::string& path) override;
    bool makeDirectories(const std::string& path) override;
};

}  // namespace halvern::platform
