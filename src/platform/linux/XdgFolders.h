#pragma once

#include <functional>
#include <string>

#include "platform/ProgramProcess.h"

namespace halvern::platform {

/// Where the XDG base directory rules put Zorvik's files, and where its shipped files are. The
/// one place that reads $XDG_CONFIG_HOME, $XDG_DATA_HOME and $HOME for them.
namespace XdgFolders {

/// An environment variable's value, or nullptr when it is unset (std::getenv's shape).
using Environment = std::function<const char*(const char*)>;

/// The process's own environment.
const char* processEnvironment(const char* name);

/// "$XDG_CONFIG_HOME/halvern"; an unset, empty or relative XDG_CONFIG_HOME counts as unset,
/// as the XDG rules say, and means "$HOME/.config".
std::string configFolder(const Environment& environment = processEnvironment);
/// "$XDG_DATA_HOME/halvern", by the same rules with "$HOME/.local/share".
std::string dataFolder(const Environment& environment = processEnvironment);
/// The installation's data folder "<prefix>/share/halvern" for an executable in "<prefix>/bin"
/// (any folder beside "share"), when it holds the shipped files; else the executable's own
/// folder, as in a build tree.
std::string shippedFolder(const std::string& executablePath);

/// All three for the running executable.
ProgramFolders forExecutable(const std::string& executablePath,
                             const Environment& environment = processEnvironment);

}  // namespace XdgFolders

}  // namespace halvern::platform
