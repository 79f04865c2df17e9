#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace halvern::platform {

/// The browser the launcher starts and owns: its DevTools pipe on the browser's descriptors 3
/// (it reads commands) and 4 (it writes replies and events), and a process descriptor that turns
/// readable when it exits.
class ChromiumProcess {
public:
    /// The launcher's fixed switches: the pipe, and no pop-up blocking of the browser's own
    /// (every new window is held and decided through the pipe instead).
    static std::vector<std::string> switches();

    ChromiumProcess() = default;
    ChromiumProcess(const ChromiumProcess&) = delete;
    ChromiumProcess& operator=(const ChromiumProcess&) = delete;
    ~ChromiumProcess();

    /// Starts `program` with switches() and then `arguments`. False with the reason in error.
    bool start(const std::string& program, const std::vector<std::string>& arguments,
               std::string& error);
    /// Our ends of the pipe: what the browser writes, and what it reads. Handed over once.
    int takeFromBrowser();
    int takeToBrowser();
    /// A descriptor that turns readable when the browser has exited; -1 when unavailable.
    int exitFd() const { return m_pidFd; }
    /// Whether the browser has exited, without waiting.
    bool exited();
    /// Waits for the browser to exit and returns its status: its exit code, or 128 + signal.
    int wait();
    /// Asks the browser to end (SIGTERM).
    void terminate() const;
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_pidFd = -1;
    int m_fromBrowser = -1;
    int m_toBrowser = -1;
    int m_status = -1;
};

}  // namespace halvern::platform
