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
/// executable (" (deleted)" taken off); a name of at most 15 bytes also matches the kernel's short
/// name `comm` (scripts, and programs whose executable cannot be read). Nothing else counts: not a
/// part of a path, not the command line. Names shorter than 4 characters match nothing. Only
/// processes Zorvik may end are ever found: never pid 1, Zorvik itself, a kernel thread, a zombie
/// or a process of another user.
class ProcessMatcher {
public:
    /// Names shorter than this never match.
    static constexpr std::size_t kMinName = 4;
    /// The kernel keeps at most this many bytes of a process's short name.
    static constexpr std::size_t kCommBytes = 15;

    /// Indexes one walk of the table for the program running as ownPid and ownUid.
    ProcessMatcher(std::vector<platform::ProcessInfo> processes, int ownPid, unsigned ownUid);

    /// Whether a name can match anything at all.
    static bool usableName(std::string_view name);
    /// The executable's file name: the path after its last "/", " (deleted)" taken off.
    static std::string_view baseName(std::string_view exe);
    /// Whether the name stands for the process, by the rules above (but whatever its owner).
    static bool matches(const platform::ProcessInfo& process, std::string_view name);
    /// Whether the program may end the process at all.
    static bool endable(const platform::ProcessInfo& process, int ownPid, unsigned ownUid);

    /// The processes of the walk the name stands for and the program may end, in walk order.
    std::vector<platform::ProcessInfo> find(std::string_view name) const;

    const std::vector<platform::ProcessInfo>& processes() const { return m_processes; }

private:
    std::vector<platform::ProcessInfo> m_processes;
    /// Lower-cased executable base names and short names -> indexes in m_processes, in order.
    std::unordered_map<std::string, std::vector<std::size_t>> m_byExe;
    std::unordered_map<std::string, std::vector<std::size_t>> m_byComm;
};

}  // namespace halvern::spyware
