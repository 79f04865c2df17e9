#pragma once

#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/linux/HelperConnection.h"

namespace halvern::platform {

/// The file system of a program that runs as a user: the few files only root may change (the
/// hosts file and its two copies) are written, copied, renamed, removed and recovered by
/// zorvik-helper; everything else, and every read (those files stay world-readable), goes to
/// the wrapped file system. A refusal of the helper becomes writeError(), in its words, for a
/// copy, a rename and a removal too.
class HelperFileSystem final : public FileSystem {
public:
    /// privilegedPaths: the exact paths the helper changes for the program.
    HelperFileSystem(FileSystem& files, HelperConnection& helper,
                     std::vector<std::string> privilegedPaths);
    HelperFileSystem(const HelperFileSystem&) = delete;
    HelperFileSystem& operator=(const HelperFileSystem&) = delete;

    std::optional<std::string> read(const std::string& path) const override;
    ReadResult readLimited(const std::string& path, std::uint64_t maxBytes) const override;
    bool write(const std::string& path, const std::string& content) override;
    bool exists(const std::string& path) const override;
    bool isDirectory(const std::string& path) const override;
    std::optional<std::uint64_t> size(const std::string& path) const override;
    /// Through the helper when the target is one of its files.
    bool copy(const std::string& from, const std::string& to) override;
    /// Through the helper when either name is one of its files.
    bool rename(const std::string& from, const std::string& to) override;
    bool remove(const std::string& path) override;
    bool makeDirectories(const std::string& path) override;
    void recover(const std::string& path) override;

    /// True for a path the helper changes.
    bool isPrivileged(const std::string& path) const;

private:
    /// Keeps the wrapped file system's reason for a failed write.
    bool direct(bool ok);
    /// Keeps the helper's reason for a failed change.
    bool helped(bool ok, std::string error);

    FileSystem& m_files;
    HelperConnection& m_helper;
    std::vector<std::string> m_privileged;
};

}  // namespace halvern::platform
