#include "platform/fake/FakeProcesses.h"

#include <algorithm>

#include "platform/Scheduler.h"

namespace halvern::platform {

class FakeHeldProcess final : public HeldProcess {
public:
    FakeHeldProcess(const FakeProcesses& table, int pid, int generation)
        : m_table(table), m_pid(pid), m_generation(generation) {}
    int pid() const override { return m_pid; }
    bool alive() const override {
        auto it = m_table.m_generation.find(m_pid);
        return it != m_table.m_generation.end() && it->second == m_generation;
    }
    std::optional<ProcessInfo> current() const override {
        if (!alive()) {
            return std::nullopt;
        }
        return m_table.table.at(m_pid);
    }

private:
    const FakeProcesses& m_table;
    int m_pid;
    int m_generation;
};

std::vector<ProcessInfo> FakeProcesses::list() {
    ++listCalls;
    std::vector<ProcessInfo> all;
    for (const auto& [pid, info] : table) {
        all.push_back(info);
    }
    if (afterList) {
        const std::function<void()> hook = std::move(afterList);
        afterList = nullptr;
        hook();
    }
    return all;
}

std::unique_ptr<HeldProcess> FakeProcesses::hold(int pid) {
    auto it = m_generation.find(pid);
    if (it == m_generation.end()) {
        return nullptr;
    }
    return std::make_unique<FakeHeldProcess>(*this, pid, it->second);
}

void FakeProcesses::end(std::unique_ptr<HeldProcess> process, std::function<void(EndResult)> done) {
    if (!process || !process->alive()) {
        m_scheduler.callAfter(Millis(0), [done] { done(EndResult::Gone); });
        return;
    }
    const int pid = process->pid();
    std::shared_ptr<HeldProcess> held(std::move(process));
    m_scheduler.callAfter(endDelay, [this, pid, held, done] {
        if (!held->alive()) {
            done(EndResult::Gone);
            return;
        }
        if (std::ranges::find(survivors, pid) != survivors.end() || !endableUser ||
            table.at(pid).uid != *endableUser) {
            done(EndResult::Refused);
            return;
        }
        exit(pid);
        ended.push_back(pid);
        done(EndResult::Ended);
    });
}

int FakeProcesses::start(ProcessInfo process) {
    if (process.pid == 0) {
        process.pid = m_nextPid++;
    }
    const int pid = process.pid;
    table[pid] = std::move(process);
    m_generation[pid] = m_nextGeneration++;
    return pid;
}

void FakeProcesses::exit(int pid) {
    table.erase(pid);
    m_generation.erase(pid);
}

void FakeProcesses::replace(int pid, ProcessInfo newcomer) {
    exit(pid);
    newcomer.pid = pid;
    start(std::move(newcomer));
}

bool FakeProcesses::running(int pid) const {
    return table.contains(pid);
}

}  // namespace halvern::platform
