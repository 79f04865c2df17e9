#include "spyware/ProcessMatcher.h"

#include <algorithm>

#include "spyware/SpywareList.h"

namespace halvern::spyware {

namespace {

constexpr std::string_view kDeleted = " (deleted)";

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && SpywareList::lower(a) == SpywareList::lower(b);
}

}  // namespace

ProcessMatcher::ProcessMatcher(std::vector<platform::ProcessInfo> processes, int ownPid,
                               unsigned user) {
    m_processes.reserve(processes.size());
    for (platform::ProcessInfo& process : processes) {
        if (!endable(process, ownPid, user)) {
            continue;
        }
        const std::size_t index = m_processes.size();
        const std::string_view base = baseName(process.exe);
        if (!base.empty()) {
            m_byExe[SpywareList::lower(base)].push_back(index);
        } else if (!process.comm.empty()) {
            m_byComm[SpywareList::lower(process.comm)].push_back(index);
        }
        m_processes.push_back(std::move(process));
    }
}

bool ProcessMatcher::usableName(std::string_view name) {
    return name.size() >= kMinName;
}

std::string_view ProcessMatcher::baseName(std::string_view exe) {
    if (exe.ends_with(kDeleted)) {
        exe.remove_suffix(kDeleted.size());
    }
    const auto slash = exe.rfind('/');
    return slash == std::string_view::npos ? exe : exe.substr(slash + 1);
}

bool ProcessMatcher::matches(const platform::ProcessInfo& process, std::string_view name) {
    if (!usableName(name)) {
        return false;
    }
    const std::string_view base = baseName(process.exe);
    if (!base.empty()) {
        return sameIgnoringCase(base, name);
    }
    return name.size() <= kCommBytes && !process.comm.empty() &&
           sameIgnoringCase(process.comm, name);
}

bool ProcessMatcher::endable(const platform::ProcessInfo& process, int ownPid, unsigned user) {
    return process.pid > 1 && process.pid != ownPid && process.uid == user &&
           !process.kernelThread && !process.zombie;
}

std::vector<platform::ProcessInfo> ProcessMatcher::find(std::string_view name) const {
    std::vector<platform::ProcessInfo> found;
    if (!usableName(name)) {
        return found;
    }
    const std::string key = SpywareList::lower(name);
    std::vector<std::size_t> indexes;
    if (auto it = m_byExe.find(key); it != m_byExe.end()) {
        indexes = it->second;
    }
    if (name.size() <= kCommBytes) {
        if (auto it = m_byComm.find(key); it != m_byComm.end()) {
            indexes.insert(indexes.end(), it->second.begin(), it->second.end());
            std::sort(indexes.begin(), indexes.end());
            indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
        }
    }
    found.reserve(indexes.size());
    for (std::size_t index : indexes) {
        found.push_back(m_processes[index]);
    }
    return found;
}

}  // namespace halvern::spyware
