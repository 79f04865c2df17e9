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
/// pid 1, the program itself, kernel threads and processes of anyone but the endable user.
class ProcProcesses final : public Processes {
public:
    struct Options {
        /// Time to end after SIGTERM before SIGKILL.
        Millis grace{1000};
        /// Time to end after SIGKILL before giving up.
        Millis afterKill{1000};
    };

    /// Where the user of the desktop session is told, for a program running as root.
    struct Session {
        /// $SUDO_UID: the user who started the program through sudo.
        std::optional<std::string> sudoUid;
        /// $DISPLAY: its X socket belongs to the user whose desktop it is.
        std::optional<std::string> display;
        std::string socketFolder = "/tmp/.X11-unix";
        /// UID_MIN and UID_MAX bound the regular users' ids (1000 and 60000 when unset).
        std::string loginDefs = "/etc/login.defs";
    };
    /// Whose processes a program running as `ownUid` may end. A normal user: its own. Root: the
    /// session's user, from SUDO_UID or else the owner of the display's socket, and only when
    /// that is a regular user (never root, nor a system account below UID_MIN or above
    /// UID_MAX); nothing otherwise, so that root's own services and other users' programs are
    /// never ended.
    static std::optional<unsigned> endableUser(unsigned ownUid, const Session& session);
    /// The same for this program: its own user, and the session its environment tells.
    static std::optional<unsigned> endableUserHere();

    /// Ends processes of the program's own user.
    explicit ProcProcesses(Scheduler& scheduler);
    ProcProcesses(Scheduler& scheduler, Options options);
    /// Ends processes of `user` only; of no one when it is empty.
    ProcProcesses(Scheduler& scheduler, Options options, std::optional<unsigned> user);
    ProcProcesses(const ProcProcesses&) = delete;
    ProcProcesses& operator=(const ProcProcesses&) = delete;
    /// Forgets every end still running, without calling its `done`.
    ~ProcProcesses() override;

    /// One walk of /proc. The owner given is the owner of the process's folder, its effective
    /// user (root for a process that may not be inspected, such as a set-user-id program): a
    /// process listed as the endable user's is one it may signal.
    std::vector<ProcessInfo> list() override;
    int ownPid() const override;
    std::optional<unsigned> endableUid() const override;
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
    std::optional<unsigned> m_user;
    std::map<std::uint64_t, std::unique_ptr<Ending>> m_endings;
    std::uint64_t m_nextEnding = 1;
};

}  // namespace halvern::platform
