#pragma once

#include <optional>
#include <string>

#include "platform/Autostart.h"
#include "platform/FileSystem.h"

namespace halvern::platform {

/// The session's freedesktop.org autostart folder, "$XDG_CONFIG_HOME/autostart"
/// (by default "~/.config/autostart"). An entry is a desktop entry file "<name>.desktop" that a
/// desktop session starts at login; it is written through the file system, so it is replaced
/// atomically, and removed by unlinking it.
class XdgAutostart final : public Autostart {
public:
    /// Files go through files; entries live in folder.
    XdgAutostart(FileSystem& files, std::string folder);

    std::string folder() const override { return m_folder; }
    std::string entrySuffix() const override { return ".desktop"; }
    /// Fails, writing nothing, when a text cannot go into a desktop entry (not UTF-8).
    AutostartResult write(const std::string& path, const AutostartEntry& entry) override;
    AutostartResult remove(const std::string& path) override;
    /// True when a regular file (or a link to one) is at path.
    bool exists(const std::string& path) const override;

    /// "$XDG_CONFIG_HOME/autostart"; a relative XDG_CONFIG_HOME is ignored, as the XDG base
    /// directory rules say, for "$HOME/.config/autostart".
    static std::string defaultFolder();

    /// The desktop entry file that starts the entry's program, or nothing when one of its texts
    /// is not UTF-8.
    static std::optional<std::string> desktopEntry(const AutostartEntry& entry);
    /// The Exec value that runs the program with no arguments: the path quoted, with the quoting
    /// rule's and the field codes' escapes, then the string type's escapes on top.
    static std::string execValue(const std::string& program);

private:
    FileSystem& m_files;
    std::string m_folder;
};

}  // namespace halvern::platform
