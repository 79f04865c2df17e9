#include "helper/HostsGuard.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "helper/HostsChange.h"
#include "helper/Protocol.h"

namespace halvern::helper {

namespace {

std::string machineName() {
    char name[HOST_NAME_MAX + 1] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
}

HostsGuard::Outcome failed(std::string why) {
    return {false, std::move(why)};
}

HostsGuard::Outcome systemFailure(const std::string& path) {
    return failed(path + ": " + std::strerror(errno));
}

}  // namespace

HostsGuard::HostsGuard(std::string hostsPath) : m_hosts(std::move(hostsPath)) {}

std::optional<HostsGuard::Outcome> HostsGuard::refusePath(const std::string& path) const {
    if (path != m_hosts && path != m_hosts + "zvb" && path != m_hosts + "zvf") {
        return failed("zorvik-helper handles only " + m_hosts + ", " + m_hosts + "zvb and " +
                      m_hosts + "zvf, not " + path);
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        return failed(path + " is a symbolic link, which zorvik-helper does not follow");
    }
    return std::nullopt;
}

std::optional<std::string> HostsGuard::readWhole(const std::string& path, Outcome& refusal) const {
    const auto read = m_files.readLimited(path, protocol::kMaxFrame);
    if (read.content) {
        return read.content;
    }
    if (read.failure == platform::ReadFailure::Missing) {
        return std::string();
    }
    refusal = failed(path + ": " + read.error);
    return std::nullopt;
}

std::optional<HostsGuard::Outcome> HostsGuard::refuseText(std::string_view text) const {
    Outcome refusal;
    const auto current = readWhole(m_hosts, refusal);
    if (!current) {
        return refusal;
    }
    auto verdict = HostsChange::check(*current, text, machineName());
    if (!verdict.accepted) {
        return failed("refused: " + verdict.reason);
    }
    return std::nullopt;
}

HostsGuard::Outcome HostsGuard::write(const std::string& path, const std::string& content) {
    if (auto refusal = refusePath(path)) {
        return *refusal;
    }
    if (auto refusal = refuseText(content)) {
        return *refusal;
    }
    if (!m_files.write(path, content)) {
        return failed(path + ": " + m_files.writeError());
    }
    return {};
}

HostsGuard::Outcome HostsGuard::copy(const std::string& from, const std::string& to) {
    for (const std::string* path : {&from, &to}) {
        if (auto refusal = refusePath(*path)) {
            return *refusal;
        }
    }
    const auto read = m_files.readLimited(from, protocol::kMaxFrame);
    if (!read.content) {
        return failed(from + ": " +
                      (read.failure == platform::ReadFailure::Missing
                           ? std::string(std::strerror(ENOENT))
                           : read.error));
    }
    return write(to, *read.content);
}

HostsGuard::Outcome HostsGuard::rename(const std::string& from, const std::string& to) {
    for (const std::string* path : {&from, &to}) {
        if (auto refusal = refusePath(*path)) {
            return *refusal;
        }
    }
    if (from == to) {
        return {};
    }
    const auto read = m_files.readLimited(from, protocol::kMaxFrame);
    if (!read.content) {
        return failed(from + ": " +
                      (read.failure == platform::ReadFailure::Missing
                           ? std::string(std::strerror(ENOENT))
                           : read.error));
    }
    if (auto refusal = refuseText(*read.content)) {
        return *refusal;
    }
    if (from == m_hosts) {
        if (auto refusal = refuseText({})) {
            return *refusal;
        }
    }
    errno = 0;
    if (!m_files.rename(from, to)) {
        return systemFailure(from);
    }
    return {};
}

HostsGuard::Outcome HostsGuard::remove(const std::string& path) {
    if (auto refusal = refusePath(path)) {
        return *refusal;
    }
    if (path == m_hosts) {
        if (auto refusal = refuseText({})) {
            return *refusal;
        }
    }
    if (!m_files.remove(path)) {
        return systemFailure(path);
    }
    return {};
}

HostsGuard::Outcome HostsGuard::recover(const std::string& path) {
    if (auto refusal = refusePath(path)) {
        return *refusal;
    }
    m_files.recover(path);
    return {};
}

void HostsGuard::recoverAll() {
    for (const char* suffix : {"", "zvb", "zvf"}) {
        recover(m_hosts + suffix);
    }
}

}  // namespace halvern::helper
