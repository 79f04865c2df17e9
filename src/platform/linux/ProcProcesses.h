#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Processes.h"
#include "platform/Scheduler.h"

namespace halvern::platform {

/// The machine's processes from /proc, held and ended through process file descriptors (a pidfd
/// stays with its process even when the id is reused). Ending sends SIGTERM, watches the pidfd on
/// the loop (it turns readable when the process exits), sends SIGKILL after the grace, and gives
/// up after a short while more; the loop never blocks. As a last line of defence it refuses to end
/// pid 1, the program itself, kernel threads and processes of another user.
class ProcProcesses final : public Processes {
public:
    struct Options {
        /// Time to end after SIGTERM before SIGKILL.
        Millis grace{1000};
        /// Time to end after SIGKILL before giving up.
        Millis afterKill{1000};
    };

    explicit ProcProcesses(Scheduler& scheduler);
    ProcProcesses(Scheduler& scheduler, Options options);
    ProcProcesses(const ProcProcesses&) = delete;
    ProcProcesses& operator=(const ProcProcesses&) = delete;
    /// Forgets every end still running, without calling its `done`.
    ~ProcProcesses() override;

    /// One walk of /proc. The owner given is the owner of the process's folder, its effective
    /// user (root for a process that may not be inspected, such as a set-user-id program): a
    /// process listed as the program's own user is one it may signal.
    std::vector<ProcessInfo> list() override;
    int ownPid() const override;
    unsigned ownUid() const override;
    std::unique_ptr<HeldProcess> hold(int pid) override;
    void end(std::unique_ptr<HeldProcess> process, std::function<void(EndResult)> done) override;

    /// One process as /proc shows it now, with its real user; nothing when it is gone or
    /// unreadable.
    static std::optional<ProcessInfo> read(int pid);

private:
    struct Ending;
    void finish(std::uint64_t id, EndResult result);
    void forceEnd(std::uint64_t id);

    Scheduler& m_scheduler;
    Options m_options;
    std::map<std::uint64_t, std::unique_ptr<Ending>> m_endings;
    std::uint64_t m_nextEnding = 1;
};

}  // namespace halvern::platform
