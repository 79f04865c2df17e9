#pragma once

#include <map>
#include <string>

#include "platform/Autostart.h"

namespace halvern::platform {

/// The start-up folder in memory. A test can make writes fail with a reason, make them report
/// success but leave no file (a folder the session cannot use), or make removals fail.
class FakeAutostart final : public Autostart {
public:
    std::string folder() const override { return startupFolder; }
    std::string entrySuffix() const override { return ".desktop"; }
    AutostartResult write(const std::string& path, const AutostartEntry& entry) override;
    /// A missing entry gives the system's "No such file or directory".
    AutostartResult remove(const std::string& path) override;
    bool exists(const std::string& path) const override { return entries.contains(path); }

    /// Puts an entry in place without counting it as a write.
    void put(const std::string& path, AutostartEntry entry) { entries[path] = std::move(entry); }
    /// Number of writes of a path that reported success.
    int writes(const std::string& path) const;

    std::string startupFolder = "/home/user/.config/autostart";
    /// The entries, by path.
    std::map<std::string, AutostartEntry> entries;
    /// When set, every write fails with this text.
    std::string writeFailure;
    /// When set, every write reports success and stores nothing.
    bool writesVanish = false;
    /// When set, every removal fails with this text.
    std::string removeFailure;

private:
    std::map<std::string, int> m_writes;
};

}  // namespace halvern::platform
