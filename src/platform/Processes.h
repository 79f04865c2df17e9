#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace halvern::platform {

/// One running process, as one walk of the process table saw it.
struct ProcessInfo {
    int pid = 0;
    /// Owner's real user id.
    unsigned uid = 0;
    /// The kernel's short name of the process (at most 15 bytes).
    std::string comm;
    /// Full path of the executable, " (deleted)" removed; empty when it cannot be read.
    std::string exe;
    bool kernelThread = false;
    bool zombie = false;
};

/// A process kept hold of between finding it and ending it: it stays this very process even
/// when its id is reused meanwhile.
class HeldProcess {
public:
    virtual ~HeldProcess() = default;
    virtual int pid() const = 0;
    /// Whether the process still runs.
    virtual bool alive() const = 0;
    /// The process as it is now, read through the hold: what it runs and whose it is. Nothing
    /// once it has ended, even when another process has its id by now.
    virtual std::optional<ProcessInfo> current() const = 0;
};

/// How ending a process went.
enum class EndResult {
    Ended,    ///< the process is gone
    Gone,     ///< it had ended before it was signalled
    Refused,  ///< no permission, or it outlived the forced end
};

/// The machine's processes: listing, holding and ending them.
class Processes {
public:
    virtual ~Processes() = default;

    /// Every process, in one walk.
    virtual std::vector<ProcessInfo> list() = 0;
    /// The program's own process.
    virtual int ownPid() const = 0;
    /// The user whose processes the program may end: its own user, or, running as root, the
    /// user of the desktop session; nothing when there is no one it may act for.
    virtual std::optional<unsigned> endableUid() const = 0;

    /// Takes hold of a process just listed; null when it is gone already or cannot be held.
    virtual std::unique_ptr<HeldProcess> hold(int pid) = 0;
    /// Asks the process to end, forces it after a grace of 1 s, and calls `done` on the event
    /// loop when it is over; never blocks the loop. A process of anyone but `endableUid` is
    /// refused.
    virtual void end(std::unique_ptr<HeldProcess> process, std::function<void(EndResult)> done) = 0;
};

}  // namespace halvern::platform
