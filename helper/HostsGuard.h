#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/linux/PosixFileSystem.h"

namespace halvern::helper {

/// The helper's file requests: only the hosts file and its two copies (the path with "zvb" and
/// "zvf" appended), named exactly, never through a symbolic link; and only texts that HostsChange
/// accepts against the current hosts file. Writes are atomic and journalled by PosixFileSystem,
/// so a kill leaves the old or the new file.
class HostsGuard {
public:
    /// What a request came to: ok, or why not in words a message box can show.
    struct Outcome {
        bool ok = true;
        std::string error;
    };

    explicit HostsGuard(std::string hostsPath);

    Outcome write(const std::string& path, const std::string& content);
    Outcome copy(const std::string& from, const std::string& to);
    /// Renaming the hosts file away removes it, so it is judged as a removal too.
    Outcome rename(const std::string& from, const std::string& to);
    /// The hosts file goes only when it holds nothing but block and blank lines (the user had no
    /// hosts file of their own); a copy may always go.
    Outcome remove(const std::string& path);
    Outcome recover(const std::string& path);
    /// Recovers the three files: what the helper does as it starts.
    void recoverAll();

    const std::string& hostsPath() const { return m_hosts; }

private:
    /// Refuses a path that is not one of the three, or is a symbolic link.
    std::optional<Outcome> refusePath(const std::string& path) const;
    /// Refuses a text that changes more than block lines of the current hosts file.
    std::optional<Outcome> refuseText(std::string_view text) const;
    /// The file's content ("" when missing), or the refusal that says why it cannot be read.
    std::optional<std::string> readWhole(const std::string& path, Outcome& refusal) const;

    std::string m_hosts;
    platform::PosixFileSystem m_files;
};

}  // namespace halvern::helper
