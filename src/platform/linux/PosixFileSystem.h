#pragma once

#include <functional>

#include "platform/FileSystem.h"

namespace halvern::platform {

/// Files on the local disk through POSIX calls. Reads open without waiting and take only regular
/// files up to a size limit. A write goes to a temporary file (".<name>.zorvik-XXXXXX") in the
/// target's folder, is flushed to disk and renamed over the target, so a crash leaves the old or
/// the new file. A target that is a mount point (a bind-mounted /etc/hosts) cannot be renamed
/// over: it is rewritten in place from a journal (".<name>.zorvik-journal") that holds the whole
/// new content first, and recover() completes a rewrite that a crash cut short.
class PosixFileSystem final : public FileSystem {
public:
    std::optional<std::string> read(const std::string& path) const override;
    ReadResult readLimited(const std::string& path, std::uint64_t maxBytes) const override;
    bool write(const std::string& path, const std::string& content) override;
    bool exists(const std::string& path) const override;
    bool isDirectory(const std::string& path) const override;
    std::optional<std::uint64_t> size(const std::string& path) const override;
    bool copy(const std::string& from, const std::string& to) override;
    /// Renames a file; across file systems (or onto a mount point) it copies and removes instead.
    bool rename(const std::string& from, const std::string& to) override;
    bool remove(const std::string& path) override;
    bool makeDirectories(const std::string& path) override;
    /// Completes the path's pending in-place rewrite from its journal, then deletes the regular
    /// files ".<name>….zorvik-XXXXXX" beside it (temporaries of the file and of copies named
    /// after it, such as hostszvb). Nothing else is touched.
    void recover(const std::string& path) override;

    /// The points a write passes, in order.
    enum class Step {
        TemporaryWritten,  ///< the temporary holds the new content, flushed
        JournalWritten,    ///< in place only: the journal holds it, under its final name
        InPlaceWritten,    ///< in place only: the content is written, the file not yet cut
        InPlaceDone,       ///< in place only: cut and flushed; the journal is dropped next
    };
    /// For crash tests only: called at each step, so a test can stop the process there.
    std::function<void(Step)> afterStep;

private:
    bool rewriteInPlace(const std::string& target, int temporary, const std::string& temporaryPath,
                        const std::string& content);
    bool storeInPlace(int fd, const std::string& text) const;
    void step(Step reached) const;
};

}  // namespace halvern::platform
