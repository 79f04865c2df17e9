#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Scheduler.h"

namespace halvern::platform {

/// What a finished program left: its exit status (128 + signal when killed, -1 when unknown) and
/// what it wrote to its standard output.
struct SubprocessResult {
    int exitStatus = -1;
    std::string output;
};

/// The full path of a program as the shell finds it in PATH, then in the system's sbin folders
/// (where nscd lives); a name with a slash stands as it is. "" when there is no such program.
std::string findExecutable(const std::string& name);

/// Starts a program detached: its own session, standard streams on /dev/null, and orphaned at
/// once through a double fork, so it never becomes our zombie. Never waits for it to run; false
/// only when it could not be started.
bool spawnDetached(const std::vector<std::string>& argv);

/// Runs a program and collects its standard output. A program still running at the timeout is
/// killed with its process group; then the result is nothing, as when it could not start.
std::optional<SubprocessResult> runCollecting(const std::vector<std::string>& argv, Millis timeout);

}  // namespace halvern::platform
