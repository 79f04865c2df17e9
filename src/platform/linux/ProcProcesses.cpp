#include "platform/linux/ProcProcesses.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace halvern::platform {

namespace {

/// The kernel's flag for its own threads, in field 9 of /proc/<pid>/stat.
constexpr unsigned long kPfKthread = 0x00200000;
constexpr std::string_view kDeleted = " (deleted)";

/// The whole of a small /proc file; false when it cannot be read.
bool readSmallFile(int folder, const char* name, std::string& text) {
    const int fd = ::openat(folder, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    text.clear();
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            ::close(fd);
            return got == 0;
        }
        text.append(buffer, static_cast<std::size_t>(got));
        if (static_cast<std::size_t>(got) < sizeof buffer && text.back() == '\n') {
            // The kernel hands over a whole short file at once.
            ::close(fd);
            return true;
        }
    }
}

int pidfdOpen(int pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

int pidfdSignal(int fd, int signal) {
    return static_cast<int>(::syscall(SYS_pidfd_send_signal, fd, signal, nullptr, 0));
}

/// A process held by its pidfd.
class PidfdProcess final : public HeldProcess {
public:
    PidfdProcess(int pid, int fd) : m_pid(pid), m_fd(fd) {}
    PidfdProcess(const PidfdProcess&) = delete;
    PidfdProcess& operator=(const PidfdProcess&) = delete;
    ~PidfdProcess() override { ::close(m_fd); }

    int pid() const override { return m_pid; }
    /// The pidfd turns readable once the process has exited (a zombie has exited too).
    bool alive() const override {
        pollfd ready{m_fd, POLLIN, 0};
        return ::poll(&ready, 1, 0) == 0;
    }
    /// Read by its id, then checked still alive: an id reused meanwhile would have shown
    /// another process only after this one had ended.
    std::optional<ProcessInfo> current() const override {
        std::optional<ProcessInfo> info = ProcProcesses::read(m_pid);
        if (!info || !alive()) {
            return std::nullopt;
        }
        return info;
    }
    int fd() const { return m_fd; }

private:
    int m_pid;
    int m_fd;
};

}  // namespace

struct ProcProcesses::Ending {
    std::unique_ptr<HeldProcess> process;
    PidfdProcess* held = nullptr;
    std::function<void(EndResult)> done;
    std::optional<Scheduler::Id> watch;
    std::optional<Scheduler::Id> timer;
    std::optional<Scheduler::Id> delivery;
};

ProcProcesses::ProcProcesses(Scheduler& scheduler) : ProcProcesses(scheduler, Options{}) {}

ProcProcesses::ProcProcesses(Scheduler& scheduler, Options options)
    : ProcProcesses(scheduler, options, ::getuid()) {}

ProcProcesses::ProcProcesses(Scheduler& scheduler, Options options, std::optional<unsigned> user)
    : m_scheduler(scheduler), m_options(options), m_user(user) {}

ProcProcesses::~ProcProcesses() {
    for (auto& [id, ending] : m_endings) {
        if (ending->watch) {
            m_scheduler.unwatch(*ending->watch);
        }
        if (ending->timer) {
            m_scheduler.cancel(*ending->timer);
        }
        if (ending->delivery) {
            m_scheduler.cancel(*ending->delivery);
        }
    }
}

namespace {

/// One process from its folder under /proc. The owner is the real user from "status" when
/// `realUid` is set; otherwise the folder's owner, which is the effective user (root for a
/// process that may not be inspected, such as a set-user-id program), at a fraction of the cost.
std::optional<ProcessInfo> readEntry(int proc, const char* name, int pid, bool realUid) {
    // Paths relative to /proc: five calls per process in a walk.
    const std::string folder = name;
    std::string text;
    if (!readSmallFile(proc, (folder + "/stat").c_str(), text)) {
        return std::nullopt;
    }
    // "pid (comm) state ppid pgrp session tty_nr tpgid flags ...": the name may hold blanks and
    // parentheses, so it ends at the last ')'.
    const auto open = text.find('(');
    const auto close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open ||
        close + 2 >= text.size()) {
        return std::nullopt;
    }
    ProcessInfo info;
    info.pid = pid;
    info.comm = text.substr(open + 1, close - open - 1);
    const char* field = text.c_str() + close + 2;
    const char state = *field++;
    char* end = nullptr;
    const long ppid = std::strtol(field, &end, 10);
    for (int skip = 0; skip < 4; ++skip) {  // pgrp, session, tty_nr, tpgid
        std::strtol(end, &end, 10);
    }
    const unsigned long flags = std::strtoul(end, &end, 10);
    info.zombie = state == 'Z' || state == 'X';
    if ((flags & kPfKthread) != 0) {
        // A kernel thread has no program file and is never ended: nothing more to read.
        info.kernelThread = true;
        return info;
    }

    bool haveUid = false;
    if (realUid && readSmallFile(proc, (folder + "/status").c_str(), text)) {
        const auto at = text.find("\nUid:");
        if (at != std::string::npos) {
            info.uid = static_cast<unsigned>(std::strtoul(text.c_str() + at + 5, nullptr, 10));
            haveUid = true;
        }
    }
    if (!haveUid) {
        struct stat owner {};
        if (::fstatat(proc, name, &owner, 0) != 0) {
            return std::nullopt;
        }
        info.uid = owner.st_uid;
    }

    char link[PATH_MAX + kDeleted.size() + 1];
    const ssize_t length = ::readlinkat(proc, (folder + "/exe").c_str(), link, sizeof link - 1);
    if (length > 0) {
        info.exe.assign(link, static_cast<std::size_t>(length));
        if (info.exe.ends_with(kDeleted)) {
            info.exe.resize(info.exe.size() - kDeleted.size());
        }
    }
    info.kernelThread = (flags & kPfKthread) != 0 || (info.exe.empty() && ppid == 2);
    return info;
}

}  // namespace

std::optional<ProcessInfo> ProcProcesses::read(int pid) {
    const int proc = ::open("/proc", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (proc < 0) {
        return std::nullopt;
    }
    auto info = readEntry(proc, std::to_string(pid).c_str(), pid, true);
    ::close(proc);
    return info;
}

std::vector<ProcessInfo> ProcProcesses::list() {
    std::vector<ProcessInfo> all;
    DIR* dir = ::opendir("/proc");
    if (!dir) {
        return all;
    }
    while (const dirent* entry = ::readdir(dir)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid > INT_MAX) {
            continue;
        }
        // A process that ended since the folder was read is simply left out.
        if (auto info = readEntry(::dirfd(dir), entry->d_name, static_cast<int>(pid), false)) {
            all.push_back(std::move(*info));
        }
    }
    ::closedir(dir);
    return all;
}

int ProcProcesses::ownPid() const {
    return static_cast<int>(::getpid());
}

std::optional<unsigned> ProcProcesses::endableUid() const {
    return m_user;
}

namespace {

/// A user id written in decimal and nothing else.
std::optional<unsigned> parseUid(std::string_view text) {
    if (text.empty() || text.size() > 10 ||
        text.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    const unsigned long value = std::strtoul(std::string(text).c_str(), nullptr, 10);
    if (value > UINT_MAX) {
        return std::nullopt;
    }
    return static_cast<unsigned>(value);
}

/// The value of a "NAME value" line of login.defs, or the fallback.
unsigned loginDefsValue(const std::string& text, std::string_view key, unsigned fallback) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t eol = std::min(text.find('\n', pos), text.size());
        const std::string_view line(text.data() + pos, eol - pos);
        pos = eol + 1;
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || !line.substr(first).starts_with(key)) {
            continue;
        }
        std::string_view rest = line.substr(first + key.size());
        if (rest.empty() || (rest.front() != ' ' && rest.front() != '\t')) {
            continue;
        }
        rest.remove_prefix(std::min(rest.find_first_not_of(" \t"), rest.size()));
        rest = rest.substr(0, rest.find_first_of(" \t\r#"));
        if (auto value = parseUid(rest)) {
            return *value;
        }
    }
    return fallback;
}

/// The owner of the X socket of a local display (":0", ":1.0", "unix:2"); nothing for a remote
/// display, a malformed one or a socket that is not there.
std::optional<unsigned> displayOwner(const std::string& display, const std::string& folder) {
    const auto colon = display.rfind(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    const std::string_view host(display.data(), colon);
    if (!host.empty() && host != "unix") {
        return std::nullopt;
    }
    std::string_view number(display.data() + colon + 1, display.size() - colon - 1);
    number = number.substr(0, number.find('.'));
    if (!parseUid(number)) {
        return std::nullopt;
    }
    struct stat socket {};
    const std::string path = folder + "/X" + std::string(number);
    if (::lstat(path.c_str(), &socket) != 0 || !S_ISSOCK(socket.st_mode)) {
        return std::nullopt;
    }
    return socket.st_uid;
}

}  // namespace

std::optional<unsigned> ProcProcesses::endableUserHere() {
    Session session;
    if (const char* sudo = std::getenv("SUDO_UID")) {
        session.sudoUid = sudo;
    }
    if (const char* display = std::getenv("DISPLAY")) {
        session.display = display;
    }
    return endableUser(::getuid(), session);
}

std::optional<unsigned> ProcProcesses::endableUser(unsigned ownUid, const Session& session) {
    if (ownUid != 0) {
        return ownUid;
    }
    std::string defs;
    if (!readSmallFile(AT_FDCWD, session.loginDefs.c_str(), defs)) {
        defs.clear();
    }
    const unsigned uidMin = loginDefsValue(defs, "UID_MIN", 1000);
    const unsigned uidMax = loginDefsValue(defs, "UID_MAX", 60000);
    const auto regular = [&](std::optional<unsigned> uid) {
        return uid && *uid != 0 && *uid >= uidMin && *uid <= uidMax;
    };
    if (session.sudoUid) {
        if (const std::optional<unsigned> uid = parseUid(*session.sudoUid); regular(uid)) {
            return uid;
        }
    }
    if (session.display) {
        if (const std::optional<unsigned> uid =
                displayOwner(*session.display, session.socketFolder);
            regular(uid)) {
            return uid;
        }
    }
    return std::nullopt;
}

std::unique_ptr<HeldProcess> ProcProcesses::hold(int pid) {
    if (pid <= 0) {
        return nullptr;
    }
    const int fd = pidfdOpen(pid);
    if (fd < 0) {
        return nullptr;
    }
    return std::make_unique<PidfdProcess>(pid, fd);
}

void ProcProcesses::end(std::unique_ptr<HeldProcess> process, std::function<void(EndResult)> done) {
    const std::uint64_t id = m_nextEnding++;
    auto ending = std::make_unique<Ending>();
    ending->held = dynamic_cast<PidfdProcess*>(process.get());
    ending->process = std::move(process);
    ending->done = std::move(done);
    Ending& e = *ending;
    m_endings.emplace(id, std::move(ending));

    // Decides at once when the process must not or need not be signalled.
    const auto verdict = [this, &e]() -> std::optional<EndResult> {
        if (!e.process) {
            return EndResult::Gone;
        }
        if (!e.held) {
            return EndResult::Refused;
        }
        if (!e.held->alive()) {
            return EndResult::Gone;
        }
        const int pid = e.held->pid();
        if (pid == 1 || pid == ownPid()) {
            return EndResult::Refused;
        }
        const std::optional<ProcessInfo> info = read(pid);
        // Still alive after the read: the pid was this very process's while it was read.
        if (!info || !e.held->alive()) {
            return EndResult::Gone;
        }
        if (info->kernelThread || !m_user || info->uid != *m_user) {
            return EndResult::Refused;
        }
        if (pidfdSignal(e.held->fd(), SIGTERM) != 0) {
            return errno == ESRCH ? EndResult::Gone : EndResult::Refused;
        }
        return std::nullopt;
    }();
    if (verdict) {
        finish(id, *verdict);
        return;
    }
    e.watch = m_scheduler.watchFd(e.held->fd(), Scheduler::kReadable,
                                  [this, id](int) { finish(id, EndResult::Ended); });
    e.timer = m_scheduler.callAfter(m_options.grace, [this, id] { forceEnd(id); });
}

void ProcProcesses::forceEnd(std::uint64_t id) {
    auto it = m_endings.find(id);
    if (it == m_endings.end()) {
        return;
    }
    Ending& e = *it->second;
    e.timer.reset();
    if (!e.held->alive()) {
        finish(id, EndResult::Ended);
        return;
    }
    if (pidfdSignal(e.held->fd(), SIGKILL) != 0) {
        finish(id, errno == ESRCH ? EndResult::Ended : EndResult::Refused);
        return;
    }
    e.timer = m_scheduler.callAfter(m_options.afterKill, [this, id] {
        auto found = m_endings.find(id);
        if (found != m_endings.end()) {
            found->second->timer.reset();
            finish(id, found->second->held->alive() ? EndResult::Refused : EndResult::Ended);
        }
    });
}

void ProcProcesses::finish(std::uint64_t id, EndResult result) {
    auto it = m_endings.find(id);
    if (it == m_endings.end() || it->second->delivery) {
        return;
    }
    Ending& e = *it->second;
    if (e.watch) {
        m_scheduler.unwatch(*e.watch);
        e.watch.reset();
    }
    if (e.timer) {
        m_scheduler.cancel(*e.timer);
        e.timer.reset();
    }
    // `done` runs from a callback of its own: it may wait, or end another process.
    e.delivery = m_scheduler.callAfter(Millis(0), [this, id, result] {
        auto found = m_endings.find(id);
        if (found == m_endings.end()) {
            return;
        }
        std::unique_ptr<Ending> ending = std::move(found->second);
        m_endings.erase(found);
        ending->done(result);
    });
}

}  // namespace halvern::platform
