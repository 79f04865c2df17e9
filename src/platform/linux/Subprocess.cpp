#include "platform/linux/Subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace halvern::platform {

namespace {

using Clock = std::chrono::steady_clock;

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::vector<char*> toArgs(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    return args;
}

// Runs in a forked child of a possibly threaded process: async-signal-safe calls only.
void prepareChild(int out) {
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    // Ignored signals survive exec; the program we start expects the defaults.
    for (int sig = 1; sig < NSIG; ++sig) {
        if (sig != SIGKILL && sig != SIGSTOP) {
            ::signal(sig, SIG_DFL);
        }
    }
    int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(out >= 0 ? out : null, 1);
    ::dup2(null, 2);
    // Descriptors of libraries that forgot O_CLOEXEC must not leak into the program.
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
}

[[noreturn]] void execOrReport(const char* path, char* const* args, int report) {
    ::execve(path, args, environ);
    int error = errno;
    if (report >= 0) {
        [[maybe_unused]] ssize_t n = ::write(report, &error, sizeof error);
    }
    ::_exit(127);
}

int decodeStatus(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

// Reaps the child before the deadline, or kills its group and reaps it then.
std::optional<int> reapBy(pid_t child, Clock::time_point deadline) {
    for (;;) {
        int status = 0;
        pid_t got = ::waitpid(child, &status, WNOHANG);
        if (got == child) {
            return decodeStatus(status);
        }
        if (got < 0 && errno != EINTR) {
            return -1;  // SIGCHLD is ignored: the kernel reaped it, its status is lost
        }
        if (Clock::now() >= deadline) {
            ::kill(-child, SIGKILL);
            ::kill(child, SIGKILL);
            while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Reads the pipe until its end or the deadline.
void collect(int fd, std::string& output, Clock::time_point deadline) {
    char buffer[4096];
    for (;;) {
        auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
        pollfd pfd{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&pfd, 1, static_cast<int>(left)) == 0) {
            return;
        }
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (n <= 0 || output.size() > (1 << 20)) {
            return;
        }
        output.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace

std::string findExecutable(const std::string& name) {
    if (name.empty()) {
        return {};
    }
    if (name.find('/') != std::string::npos) {
        return isExecutableFile(name) ? name : std::string();
    }
    const char* path = std::getenv("PATH");
    std::string folders =
        std::string(path ? path : "/usr/bin:/bin") + ":/usr/local/sbin:/usr/sbin:/sbin";
    std::size_t start = 0;
    for (;;) {
        std::size_t end = folders.find(':', start);
        std::string folder = folders.substr(start, end - start);
        std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
        if (isExecutableFile(candidate)) {
            return candidate;
        }
        if (end == std::string::npos) {
            return {};
        }
        start = end + 1;
    }
}

bool spawnDetached(const std::vector<std::string>& argv) {
    const std::string path = argv.empty() ? std::string() : findExecutable(argv[0]);
    if (path.empty()) {
        return false;
    }
    std::vector<char*> args = toArgs(argv);
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        return false;
    }
    pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        ::setsid();
        pid_t grandchild = ::fork();
        if (grandchild != 0) {
            ::_exit(grandchild < 0 ? 1 : 0);
        }
        prepareChild(-1);
        execOrReport(path.c_str(), args.data(), report[1]);
    }
    ::close(report[1]);
    int status = 0;
    bool reaped = child > 0;
    while (reaped && ::waitpid(child, &status, 0) < 0) {
        reaped = errno == EINTR;  // ECHILD: SIGCHLD is ignored and the kernel reaped it
    }
    // The report pipe closes without a word when exec succeeded.
    int error = 0;
    ssize_t n;
    do {
        n = ::read(report[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    ::close(report[0]);
    return child > 0 && n == 0 && (!reaped || (WIFEXITED(status) && WEXITSTATUS(status) == 0));
}

std::optional<SubprocessResult> runCollecting(const std::vector<std::string>& argv,
                                              Millis timeout) {
    const std::string path = argv.empty() ? std::string() : findExecutable(argv[0]);
    int out[2];
    if (path.empty() || ::pipe2(out, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    std::vector<char*> args = toArgs(argv);
    pid_t child = ::fork();
    if (child == 0) {
        ::setpgid(0, 0);
        prepareChild(out[1]);
        execOrReport(path.c_str(), args.data(), -1);
    }
    ::close(out[1]);
    if (child < 0) {
        ::close(out[0]);
        return std::nullopt;
    }
    ::setpgid(child, child);  // also here, so the kill below reaches the group in any case
    const auto deadline = Clock::now() + timeout;
    SubprocessResult result;
    collect(out[0], result.output, deadline);
    ::close(out[0]);
    auto status = reapBy(child, deadline);
    if (!status) {
        return std::nullopt;
    }
    result.exitStatus = *status;
    return result;
}

}  // namespace halvern::platform
