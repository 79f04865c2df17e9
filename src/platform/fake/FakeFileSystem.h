#pragma once

#include <map>
#include <set>
#include <vector>

#include "platform/FileSystem.h"

namespace halvern::platform {

/// Files in memory. Folders exist implicitly above every file put(), or explicitly by
/// makeDirectories; as on disk, writes and renames need the target's folder to exist.
/// A test can make a path read-only (writes, renames onto it and deletes fail), unreadable, or
/// a FIFO or device (there, but never read, written or copied).
class FakeFileSystem final : public FileSystem {
public:
    std::optional<std::string> read(const std::string& path) const override;
    ReadResult readLimited(const std::string& path, std::uint64_t maxBytes) const override;
    bool write(const std::string& path, const std::string& content) override;
    bool exists(const std::string& path) const override {
        return m_files.contains(path) || isDirectory(path);
    }
    bool isDirectory(const std::string& path) const override;
    std::optional<std::uint64_t> size(const std::string& path) const override;
    bool copy(const std::string& from, const std::string& to) override;
    bool rename(const std::string& from, const std::string& to) override;
    bool remove(const std::string& path) override;
    bool makeDirectories(const std::string& path) override;
    /// Records the path; there is nothing to finish in memory.
    void recover(const std::string& path) override { recovered.push_back(path); }

    /// Puts a file in place without counting it as a write.
    void put(const std::string& path, std::string content) { m_files[path] = std::move(content); }
    /// The file's content, or "" when missing.
    std::string text(const std::string& path) const;
    void setReadOnly(const std::string& path, bool readOnly = true);
    void setUnreadable(const std::string& path, bool unreadable = true);
    /// Puts a FIFO or device in place of the path.
    void putSpecial(const std::string& path);
    /// Number of successful writes of a path (copy and rename onto it count).
    int writes(const std::string& path) const;
    /// The paths recover() was called for, in order.
    std::vector<std::string> recovered;

private:
    bool writable(const std::string& path) const;
    /// True when the path is no folder and its folder exists.
    bool canHoldFile(const std::string& path) const;

    std::map<std::string, std::string> m_files;
    std::set<std::string> m_directories;
    std::set<std::string> m_readOnly;
    std::set<std::string> m_unreadable;
    std::set<std::string> m_special;
    std::map<std::string, int> m_writes;
};

}  // namespace halvern::platform
