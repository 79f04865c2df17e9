#pragma once

#include <map>
#include <vector>

#include "platform/Processes.h"
#include "platform/Scheduler.h"

namespace halvern::platform {

/// A scripted process table. Ending takes `endDelay` of virtual time; processes listed in
/// `survivors` outlive it, and held processes notice when a test removes them.
class FakeProcesses final : public Processes {
public:
    explicit FakeProcesses(Scheduler& scheduler) : m_scheduler(scheduler) {}

    std::vector<ProcessInfo> list() override;
    int ownPid() const override { return selfPid; }
    unsigned ownUid() const override { return selfUid; }
    std::unique_ptr<HeldProcess> hold(int pid) override;
    void end(std::unique_ptr<HeldProcess> process, std::function<void(EndResult)> done) override;

    /// Adds a running process; returns its pid.
    int start(ProcessInfo process);
    /// The process ends by itself.
    void exit(int pid);
    bool running(int pid) const;

    int selfPid = 4242;
    unsigned selfUid = 1000;
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
