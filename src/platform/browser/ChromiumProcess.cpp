#include "platform/browser/ChromiumProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace halvern::platform {

namespace {

/// The browser's end of the pipe, as its --remote-debugging-pipe switch expects it.
constexpr int kBrowserReads = 3;
constexpr int kBrowserWrites = 4;

int statusOf(int raw) {
    if (WIFEXITED(raw)) {
        return WEXITSTATUS(raw);
    }
    return WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : 1;
}

/// Moves a descriptor above the browser's own numbers, so dup2 onto 3 and 4 always copies (a
/// dup2 onto itself would keep close-on-exec set).
int above4(int fd) {
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, kBrowserWrites + 1);
    ::close(fd);
    return moved;
}

void closeIfOpen(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

}  // namespace

std::vector<std::string> ChromiumProcess::switches() {
    return {"--remote-debugging-pipe", "--disable-popup-blocking"};
}

ChromiumProcess::~ChromiumProcess() {
    closeIfOpen(m_fromBrowser);
    closeIfOpen(m_toBrowser);
    closeIfOpen(m_pidFd);
}

bool ChromiumProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                            std::string& error) {
    int commands[2] = {-1, -1};
    int replies[2] = {-1, -1};
    if (::pipe2(commands, O_CLOEXEC) != 0 || ::pipe2(replies, O_CLOEXEC) != 0) {
        error = std::string("cannot make the browser's pipe: ") + std::strerror(errno);
        return false;
    }
    for (int* fd : {&commands[0], &commands[1], &replies[0], &replies[1]}) {
        *fd = above4(*fd);
    }
    std::vector<std::string> words{program};
    for (const std::string& word : switches()) {
        words.push_back(word);
    }
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    // dup2 clears close-on-exec on 3 and 4; every other descriptor of ours stays shut.
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, commands[0], kBrowserReads);
    ::posix_spawn_file_actions_adddup2(&actions, replies[1], kBrowserWrites);
    const int failed =
        ::posix_spawnp(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(commands[0]);
    ::close(replies[1]);
    if (failed != 0) {
        ::close(commands[1]);
        ::close(replies[0]);
        m_pid = -1;
        error = "cannot start " + program + ": " + std::strerror(failed);
        return false;
    }
    m_toBrowser = commands[1];
    m_fromBrowser = replies[0];
    m_pidFd = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
    return true;
}

int ChromiumProcess::takeFromBrowser() {
    const int fd = m_fromBrowser;
    m_fromBrowser = -1;
    return fd;
}

int ChromiumProcess::takeToBrowser() {
    const int fd = m_toBrowser;
    m_toBrowser = -1;
    return fd;
}

bool ChromiumProcess::exited() {
    if (m_status >= 0 || m_pid < 0) {
        return true;
    }
    int raw = 0;
    if (::waitpid(m_pid, &raw, WNOHANG) == m_pid) {
        m_status = statusOf(raw);
        return true;
    }
    return false;
}

int ChromiumProcess::wait() {
    while (m_status < 0 && m_pid >= 0) {
        int raw = 0;
        const pid_t done = ::waitpid(m_pid, &raw, 0);
        if (done == m_pid) {
            m_status = statusOf(raw);
        } else if (done < 0 && errno != EINTR) {
            m_status = 1;
        }
    }
    return m_status;
}

void ChromiumProcess::terminate() const {
    if (m_pid > 0 && m_status < 0) {
        ::kill(m_pid, SIGTERM);
    }
}

}  // namespace halvern::platform
