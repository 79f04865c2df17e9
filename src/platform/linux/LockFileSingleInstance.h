#pragma once

#include <map>
#include <string>

#include "platform/Scheduler.h"
#include "platform/SingleInstance.h"

namespace halvern::platform {

/// One running copy per user: the copy that holds an exclusive lock on a lock file runs, and
/// listens on a local socket beside it; a later copy finds the lock taken, connects and sends
/// "show\n", and the running copy calls onShowRequest. The lock ends with the process, so a copy
/// that crashed never blocks the next one.
class LockFileSingleInstance final : public SingleInstance {
public:
    /// Files "<name>.lock" and "<name>.sock" in runtimeFolder; the socket is watched on the loop.
    LockFileSingleInstance(const std::string& runtimeFolder, Scheduler& scheduler,
                           const std::string& name = defaultName());
    ~LockFileSingleInstance() override;
    LockFileSingleInstance(const LockFileSingleInstance&) = delete;
    LockFileSingleInstance& operator=(const LockFileSingleInstance&) = delete;

    /// Takes the lock and starts listening; makes the runtime folder (private) when it is
    /// missing. A lock file that cannot be opened or locked (a folder or a link in its place, a
    /// read-only folder) is Unavailable, also said on stderr: copies that cannot see each other
    /// must not both run.
    LockResult acquire() override;
    /// Connects to the running copy and asks it to show itself; gives up quietly after a moment.
    void signalRunningCopy() override;

    /// $XDG_RUNTIME_DIR, or /tmp/zorvik-<uid> (created private) when it is not set.
    static std::string defaultRuntimeFolder();
    /// "zorvik-<uid>".
    static std::string defaultName();

    const std::string& lockPath() const { return m_lockPath; }
    const std::string& socketPath() const { return m_socketPath; }

private:
    struct Connection {
        int fd;
        Scheduler::Id watch;
        Scheduler::Id timeout;
        std::string received;
    };
    void listen();
    void accept();
    void receive(int fd);
    void drop(int fd);

    LockResult unavailable(const std::string& error) const;

    Scheduler& m_scheduler;
    std::string m_runtimeFolder;
    std::string m_lockPath;
    std::string m_socketPath;
    int m_lockFd = -1;
    int m_listenFd = -1;
    Scheduler::Id m_listenWatch = 0;
    std::map<int, Connection> m_connections;
};

}  // namespace halvern::platform
