#pragma once

#include <string>

namespace halvern::platform {

/// What the session's autostart runs: a program with no arguments, under a name and an icon.
struct AutostartEntry {
    /// The name the session shows for it ("Zorvik").
    std::string name;
    /// What it does, in a line.
    std::string comment;
    /// The executable's full path, exactly as it is on disk.
    std::string program;
    /// The folder it starts in.
    std::string workingFolder;
    /// An icon theme's name ("zorvik") or a picture's full path.
    std::string icon;
};

/// How a change of an entry ended: done, or the system's words for why not.
struct AutostartResult {
    bool done = false;
    /// Empty when done ("No such file or directory", "Permission denied").
    std::string error;
};

/// The user's start-up folder: every entry in it is started by the desktop session at login.
/// Real: XdgAutostart ($XDG_CONFIG_HOME/autostart); tests: FakeAutostart.
class Autostart {
public:
    virtual ~Autostart() = default;

    /// The start-up folder, without a trailing slash.
    virtual std::string folder() const = 0;
    /// The file name suffix of an entry there (".desktop").
    virtual std::string entrySuffix() const = 0;
    /// Writes the entry file at path, replacing one already there; the file is the old or the
    /// new one after any crash. Creates the folder when it is missing.
    virtual AutostartResult write(const std::string& path, const AutostartEntry& entry) = 0;
    /// Deletes the entry file at path.
    virtual AutostartResult remove(const std::string& path) = 0;
    /// True when an entry file is at path.
    virtual bool exists(const std::string& path) const = 0;
};

}  // namespace halvern::platform
