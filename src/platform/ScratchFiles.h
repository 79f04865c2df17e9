#pragma once

#include <string>

namespace halvern::platform {

/// Files the program writes only to hand them to the user's viewer (an exported log): kept in a
/// folder that no other user can enter, each written fresh and never through a link, so that a
/// link planted in a shared folder cannot redirect the write onto another file.
class ScratchFiles {
public:
    /// Where a write went: the file's path ("" when no private folder was usable) and whether
    /// the content is in it.
    struct Result {
        std::string path;
        bool written = false;
    };

    virtual ~ScratchFiles() = default;

    /// Writes a new file of that name (no folder part) with the content, readable by the user
    /// only. An older file of the name is removed first, so a failed write never leaves stale
    /// content under the name.
    virtual Result write(const std::string& name, const std::string& content) = 0;
};

}  // namespace halvern::platform
