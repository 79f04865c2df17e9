#pragma once

#include <string>

#include "platform/ScratchFiles.h"

namespace halvern::platform {

/// Scratch files in "<runtime>/halvern" ($XDG_RUNTIME_DIR), else in "<cache>/halvern"
/// ($XDG_CACHE_HOME, by default "$HOME/.cache"). A folder is used only when it is a real folder
/// (not a link) of this user that no one else may enter; it is made 0700 when missing. Files are
/// created 0600, never through a link and never over an existing file.
class XdgScratchFiles final : public ScratchFiles {
public:
    /// Either folder may be "" (none).
    XdgScratchFiles(std::string runtimeFolder, std::string cacheFolder);

    Result write(const std::string& name, const std::string& content) override;

    /// "$XDG_RUNTIME_DIR", or "" when it is unset or not absolute.
    static std::string defaultRuntimeFolder();
    /// "$XDG_CACHE_HOME", else "$HOME/.cache".
    static std::string defaultCacheFolder();

private:
    /// Writes into "<base>/halvern"; the path is "" when that folder is not usable.
    static Result writeIn(const std::string& base, const std::string& name,
                          const std::string& content);

    std::string m_runtime;
    std::string m_cache;
};

}  // namespace halvern::platform
