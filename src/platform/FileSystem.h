#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace halvern::platform {

/// Why a read gave no content.
enum class ReadFailure {
    None,      ///< the read gave the content
    Missing,   ///< no such file
    NotAFile,  ///< a folder, FIFO, socket or device: never opened for reading
    TooLarge,  ///< larger than the caller's limit
    Failed,    ///< the system refused or failed the read; error says why
};

/// A read's content, or why there is none.
struct ReadResult {
    std::optional<std::string> content;
    ReadFailure failure = ReadFailure::None;
    /// Why the file was not read, in words ("not a regular file", "20000000 bytes, over the
    /// limit of 16777216 bytes", the system's error text); empty when it was read or is missing.
    std::string error;

    /// The file is there but was not read.
    bool refused() const { return !content && failure != ReadFailure::Missing; }
};

/// Whole-file access. Files are read and written whole; writes replace a file atomically.
class FileSystem {
public:
    /// The most a settings or list file may hold. A list says at most 32767 entries of at most
    /// 249 characters, about 8.5 MB with its keys; a larger file holds nothing the program reads.
    static constexpr std::uint64_t kMaxSettingsBytes = 16u << 20;
    /// The most the hosts file (and any other file) may hold: Zorvik's own block lines come to
    /// under 18 MB, and the largest public hosts lists to a few; the rest is the user's margin.
    static constexpr std::uint64_t kMaxFileBytes = 64u << 20;

    virtual ~FileSystem() = default;

    /// The whole file, or nothing when it is missing, unreadable, not a regular file or larger
    /// than kMaxFileBytes.
    virtual std::optional<std::string> read(const std::string& path) const = 0;
    /// The whole regular file when it holds at most maxBytes, or why not. Never waits on a FIFO
    /// or a device. Reports every refusal to onReadRefused.
    virtual ReadResult readLimited(const std::string& path, std::uint64_t maxBytes) const;
    /// Replaces the file's content: the file is either the old or the new one after any crash.
    /// Keeps an existing file's owner and mode. False when the file could not be written;
    /// writeError() then says why.
    virtual bool write(const std::string& path, const std::string& content) = 0;
    /// Why the last write that returned false failed, in the system's words ("No such file or
    /// directory", "Permission denied", "not a regular file"); empty before any failed write.
    const std::string& writeError() const { return m_writeError; }
    virtual bool exists(const std::string& path) const = 0;
    virtual bool isDirectory(const std::string& path) const = 0;
    /// Size in bytes, or nothing for a missing file.
    virtual std::optional<std::uint64_t> size(const std::string& path) const = 0;
    /// Copies a regular file of at most kMaxFileBytes over the target, atomically; false on any
    /// failure.
    virtual bool copy(const std::string& from, const std::string& to) = 0;
    /// Renames a file over the target; false on any failure.
    virtual bool rename(const std::string& from, const std::string& to) = 0;
    /// Deletes a file; false when it did not exist or could not be deleted.
    virtual bool remove(const std::string& path) = 0;
    /// Creates the folder and its parents; false on failure.
    virtual bool makeDirectories(const std::string& path) = 0;
    /// Run once at start for a file the program rewrites: finishes a rewrite of it that a crash
    /// interrupted and deletes the program's own stale temporaries beside it.
    virtual void recover(const std::string& path);

    /// Told of every read that found the file but refused or failed it (not of missing files),
    /// so the program can report it.
    std::function<void(const std::string& path, const ReadResult& result)> onReadRefused;

protected:
    /// Passes a refused read to onReadRefused and returns it.
    ReadResult reported(const std::string& path, ReadResult result) const;
    static ReadResult notAFile();
    static ReadResult tooLarge(std::uint64_t size, std::uint64_t limit);
    /// Notes why a write failed and returns false, for the write to return.
    bool writeFailed(std::string why);

private:
    std::string m_writeError;
};

}  // namespace halvern::platform
