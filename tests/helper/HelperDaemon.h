#pragma once

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace halvern::helper::testing {

/// The name of the group this process runs with: a group the test's own user is in.
inline std::string ownGroupName() {
    const group* entry = ::getgrgid(::getegid());
    return entry ? entry->gr_name : std::to_string(::getegid());
}

/// A zorvik-helper process on a test's socket and hosts file, its stderr kept in a log file.
/// Stopped with SIGTERM when the object goes.
class HelperDaemon {
public:
    HelperDaemon(std::string socketPath, std::string hostsPath, std::string group = ownGroupName())
        : m_socket(std::move(socketPath)),
          m_hosts(std::move(hostsPath)),
          m_group(std::move(group)),
          m_log(m_socket + ".log") {}
    HelperDaemon(const HelperDaemon&) = delete;
    HelperDaemon& operator=(const HelperDaemon&) = delete;
    ~HelperDaemon() { stop(); }

    /// Starts the helper and waits until its socket takes connections; false when it never did.
    bool start(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {
            HALVERN_HELPER_BINARY, "--socket", m_socket, "--group", m_group, "--hosts", m_hosts};
        args.insert(args.end(), extra.begin(), extra.end());
        m_pid = ::fork();
        if (m_pid == 0) {
            const int log = ::open(m_log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            ::dup2(log, 2);
            std::vector<char*> argv;
            for (std::string& arg : args) {
                argv.push_back(arg.data());
            }
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (connects()) {
                return true;
            }
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                m_status = status;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    /// Sends the signal and waits for the process; its wait status.
    int stop(int signal = SIGTERM) {
        if (m_pid > 0) {
            ::kill(m_pid, signal);
            while (::waitpid(m_pid, &m_status, 0) < 0 && errno == EINTR) {
            }
            m_pid = -1;
        }
        return m_status;
    }

    /// Waits up to the limit for the process to end by itself; true when it did.
    bool endsWithin(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(m_pid, &m_status, WNOHANG) == m_pid) {
                m_pid = -1;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    bool connects() const {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, m_socket.c_str(), sizeof address.sun_path - 1);
        const bool ok =
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        return ok;
    }

    std::string log() const {
        std::ifstream in(m_log);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    pid_t pid() const { return m_pid; }
    int status() const { return m_status; }

private:
    std::string m_socket;
    std::string m_hosts;
    std::string m_group;
    std::string m_log;
    pid_t m_pid = -1;
    int m_status = 0;
};

}  // namespace halvern::helper::testing
