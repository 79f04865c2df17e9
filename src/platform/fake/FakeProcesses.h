#pragma once

#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "platform/Processes.h"
#include "platform/Scheduler.h"

namespace halvern::platform {

/// A scripted process table. Ending takes `endDelay` of virtual time; processes listed in
/// `survivors` outlive it, processes of anyone but `endableUser` are refused, and held processes
/// notice when a test removes or replaces them.
class FakeProcesses final : public Processes {
public:
    explicit FakeProcesses(Scheduler& scheduler) : m_scheduler(scheduler) {}

    std::vector<ProcessInfo> list() override;
    int ownPid() const override { return selfPid; }
    std::optional<unsigned> endableUid() const override { return endableUser; }
    std::unique_ptr<HeldProcess> hold(int pid) override;
    void end(std::unique_ptr<HeldProcess> process, std::function<void(EndResult)> done) override;

    /// Adds a running process; returns its pid.
    int start(ProcessInfo process);
    /// The process ends by itself.
    void exit(int pid);
    /// The process ends and another program starts with its id.
    void replace(int pid, ProcessInfo newcomer);
    bool running(int pid) const;

    int selfPid = 4242;
    /// The user the program runs as, whose processes it may end; nothing: no one's.
    std::optional<unsigned> endableUser = 1000;
    /// Runs once, after the next walk has been taken, so a test can change the table behind it.
    std::function<void()> afterList;
    std::map<int, ProcessInfo> table;
    std::vector<int> survivors;
    std::vector<int> ended;
    int listCalls = 0;
    Millis endDelay{200};

private:
    Scheduler& m_scheduler;
    int m_nextPid = 5000;
    /// Each process's incarnation, so a held process is not mistaken for a later one with its pid.
    std::map<int, int> m_generation;
    int m_nextGeneration = 1;
    friend class FakeHeldProcess;
};

}  // namespace halvern::platform
