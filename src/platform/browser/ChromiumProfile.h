#pragma once

#include <string>
#include <vector>

namespace halvern::platform {

/// The browser profile the launcher's arguments select and whether a browser already runs on it.
struct ChromiumProfile {
    /// The profile folder: the last `--user-data-dir=` among the arguments, else the browser's
    /// default, $XDG_CONFIG_HOME/chromium or ~/.config/chromium.
    static std::string folderFor(const std::vector<std::string>& arguments);
    /// The process id holding the profile's `SingletonLock` (a link to "<host>-<pid>") when that
    /// process runs on this host now; 0 when none does, or the lock is stale or another host's.
    static long runningBrowser(const std::string& folder);
};

}  // namespace halvern::platform
