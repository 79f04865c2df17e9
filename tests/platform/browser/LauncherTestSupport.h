#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace halvern::platform::browsertest {

/// The whole text of a file, "" when it cannot be read.
inline std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

/// Waits for a condition on real processes, with a generous bound; true when it came.
inline bool waitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

/// A program run by a test with extra environment variables, its standard error in a file.
class ChildProgram {
public:
    ChildProgram(std::vector<std::string> argv, std::vector<std::string> environment,
                 const std::string& errorFile) {
        m_pid = ::fork();
        if (m_pid == 0) {
            for (std::string& setting : environment) {
                ::putenv(setting.data());
            }
            const int err = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(err, 2);
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, 1);
            std::vector<char*> args;
            for (std::string& arg : argv) {
                args.push_back(arg.data());
            }
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
    }
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;
    ~ChildProgram() {
        if (m_pid > 0 && !m_status) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    /// Its exit status (128 + signal when killed) once it has ended within the bound.
    std::optional<int> exitStatus(std::chrono::milliseconds limit = std::chrono::seconds(60)) {
        waitFor(
            [this] {
                int raw = 0;
                if (!m_status && ::waitpid(m_pid, &raw, WNOHANG) == m_pid) {
                    m_status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
                }
                return m_status.has_value();
            },
            limit);
        return m_status;
    }
    void signal(int number) const { ::kill(m_pid, number); }

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

}  // namespace halvern::platform::browsertest
