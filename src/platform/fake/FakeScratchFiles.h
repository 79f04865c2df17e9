#pragma once

#include <map>
#include <string>

#include "platform/ScratchFiles.h"

namespace halvern::platform {

/// Scratch files in memory, in the folder "/run/user/1000/halvern".
class FakeScratchFiles final : public ScratchFiles {
public:
    Result write(const std::string& name, const std::string& content) override;

    static inline const std::string kFolder = "/run/user/1000/halvern";

    /// The files by path.
    std::map<std::string, std::string> files;
    /// When set, writes fail after removing the older file, as a full disk would.
    bool fails = false;
    /// When set, no private folder is usable at all.
    bool noFolder = false;
};

}  // namespace halvern::platform
