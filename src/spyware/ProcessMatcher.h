#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Processes.h"

namespace halvern::spyware {

/// Finds the processes a spyware name stands for, in one walk of the process table.
///
/// A name matches a process when it equals, ignoring ASCII case, the base name of the process's
/// executable (" (deleted)" taken off). Only when the executable cannot be read does the kernel's
/// short name `comm` stand in for it, and then only for a name of at most 15 bytes: the kernel cuts
/// longer names to 15 bytes, so the short name of a readable program is never trusted (it would
/// make a 15-byte name match every program whose name starts with it). Nothing else counts: not a
/// part of a path, not the command line. Names shorter than 4 characters match nothing. Only
/// processes Zorvik may end are ever found: never pid 1, Zorvik itself, a kernel thread, a zombie
/// or a process of anyone but the user whose processes it may end.
class ProcessMatcher {
public:
    /// Names shorter than this never match.
    static constexpr std::size_t kMinName = 4;
    /// The kernel keeps at most this many bytes of a process's short name.
    static constexpr std::size_t kCommBytes = 15;

    /// Indexes one walk of the table for the program running as ownPid, which may end the
    /// processes of `user`.
    ProcessMatcher(std::vector<platform::ProcessInfo> processes, int ownPid, unsigned user);

    /// Whether a name can match anything at all.
    static bool usableName(std::string_view name);
    /// The executable's file name: the path after its last "/", " (deleted)" taken off.
    static std::string_view baseName(std::string_view exe);
    /// Whether the name stands for the process, by the rules above (but whatever its owner).
    static bool matches(const platform::ProcessInfo& process, std::string_view name);
    /// Whether the program may end the process at all.
    static bool endable(const platform::ProcessInfo& process, int ownPid, unsigned user);

    /// The processes of the walk the name stands for and the program may end, in walk order.
    std::vector<platform::ProcessInfo> find(std::string_view name) const;

    const std::vector<platform::ProcessInfo>& processes() const { return m_processes; }

private:
    std::vector<platform::ProcessInfo> m_processes;
    /// Lower-cased executable base names, and short names of processes whose executable cannot
    /// be read -> indexes in m_processes, in order.
    std::unordered_map<std::string, std::vector<std::size_t>> m_byExe;
    std::unordered_map<std::string, std::vector<std::size_t>> m_byComm;
};

}  // namespace halvern::spyware
