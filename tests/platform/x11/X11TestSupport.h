#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace halvern::platform::testing {

/// Starts a program with its stdout on a pipe; returns the pid, fills `out` with the read end.
inline pid_t spawn(const std::vector<std::string>& args, int* out,
                   const std::vector<std::string>& env = {}) {
    int pipeFds[2] = {-1, -1};
    if (out && ::pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (out) {
            ::dup2(pipeFds[1], 1);
        }
        for (const std::string& assignment : env) {
            ::putenv(const_cast<char*>(assignment.c_str()));
        }
        std::vector<char*> argv;
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    if (out) {
        ::close(pipeFds[1]);
        *out = pipeFds[0];
    }
    return pid;
}

/// Ends a child started by spawn(): SIGTERM, then SIGKILL when it lingers.
inline void stop(pid_t pid) {
    if (pid <= 0) {
        return;
    }
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            return;
        }
        ::usleep(20000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

/// Reads lines from a pipe, waiting at most `timeout` for the next one.
class LineReader {
public:
    explicit LineReader(int fd = -1) : m_fd(fd) {}
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;
    ~LineReader() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    void reset(int fd) { m_fd = fd; }

    /// The next line, or "" when none came in time or the pipe closed.
    std::string next(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (true) {
            const auto end = m_buffer.find('\n');
            if (end != std::string::npos) {
                std::string line = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{m_fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                return {};
            }
            char chunk[256];
            const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
            if (n <= 0) {
                return {};
            }
            m_buffer.append(chunk, static_cast<std::size_t>(n));
        }
    }

private:
    int m_fd;
    std::string m_buffer;
};

/// A private Xvfb display, with openbox as its window manager when asked; gone with the object.
class XServer {
public:
    explicit XServer(bool windowManager) {
        int out = -1;
        // -displayfd picks a free display number and writes it to the descriptor given.
        m_xvfb = spawn({"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten",
                        "tcp", "-noreset"},
                       &out);
        LineReader reader(out);
        const std::string number = reader.next(std::chrono::seconds(15));
        if (number.empty()) {
            throw std::runtime_error("Xvfb did not start");
        }
        m_name = ":" + number;
        ::setenv("DISPLAY", m_name.c_str(), 1);
        if (windowManager) {
            m_wm = spawn({"openbox", "--sm-disable"}, nullptr);
            if (!waitForWindowManager()) {
                throw std::runtime_error("openbox did not start");
            }
        }
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    ~XServer() {
        stop(m_wm);
        stop(m_xvfb);
    }

    const std::string& name() const { return m_name; }
    /// Ends the display itself, as when the session ends under its programs.
    void stopServer() {
        stop(m_wm);
        m_wm = 0;
        stop(m_xvfb);
        m_xvfb = 0;
    }
    /// Ends the window manager, leaving its windows on the display.
    void stopWindowManager() {
        stop(m_wm);
        m_wm = 0;
    }

private:
    /// Waits until openbox manages windows: it announces itself before it is ready, and a window
    /// mapped in between is never managed. A probe window shows when it is.
    bool waitForWindowManager() const {
        xcb_connection_t* c = xcb_connect(m_name.c_str(), nullptr);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        const char* atomName = "_NET_CLIENT_LIST";
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(atomName)), atomName),
            nullptr);
        const xcb_window_t probe = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, screen->root, 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        bool managed = false;
        for (int i = 0; i < 500 && atom && !managed; ++i) {
            // Mapped again and again: a map request made before openbox was ready is lost.
            xcb_map_window(c, probe);
            xcb_get_property_reply_t* reply = xcb_get_property_reply(
                c, xcb_get_property(c, 0, screen->root, atom->atom, XCB_ATOM_WINDOW, 0, 1024),
                nullptr);
            if (reply && reply->format == 32) {
                const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
                const int count = xcb_get_property_value_length(reply) / 4;
                managed = std::find(ids, ids + count, probe) != ids + count;
            }
            std::free(reply);
            if (!managed) {
                ::usleep(20000);
            }
        }
        std::free(atom);
        xcb_destroy_window(c, probe);
        xcb_disconnect(c);
        return managed;
    }

    pid_t m_xvfb = 0;
    pid_t m_wm = 0;
    std::string m_name;
};

/// Runs the loop until `done` holds or `limit` has passed. In short slices: PollScheduler's
/// runUntil checks `done` only after a step, and a step that ran a callback still waits for a
/// descriptor (or the whole limit) before it returns.
template <typename Loop, typename Done>
bool runUntil(Loop& loop, Done done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        loop.runUntil(done, std::chrono::milliseconds(20));
    }
    return true;
}

/// One zorvik_testwindow process; its window id is known once the window is mapped.
class TestWindow {
public:
    explicit TestWindow(std::vector<std::string> options) {
        options.insert(options.begin(), ZORVIK_TESTWINDOW);
        int out = -1;
        m_pid = spawn(options, &out);
        m_output.reset(out);
        const std::string line = m_output.next(std::chrono::seconds(10));
        if (line.rfind("window ", 0) != 0) {
            throw std::runtime_error("the test window did not start: '" + line + "'");
        }
        m_id = std::strtoull(line.c_str() + 7, nullptr, 16);
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    ~TestWindow() { stop(m_pid); }

    std::uint64_t id() const { return m_id; }
    pid_t pid() const { return m_pid; }
    /// The next line the window printed ("close request", "retitled"), "" after the timeout.
    std::string nextLine(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        return m_output.next(timeout);
    }
    /// Whether the program has ended (reaping it).
    bool ended(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (m_pid == 0 || ::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = 0;
                return true;
            }
            ::usleep(10000);
        }
        return false;
    }
    /// Kills the program, so its window is destroyed without a word. Returns once the server
    /// has destroyed it: the server notices a dead client on its own time, after the exit.
    void kill() {
        stop(m_pid);
        m_pid = 0;
        xcb_connection_t* c = xcb_connect(nullptr, nullptr);
        for (int i = 0; i < 500 && !xcb_connection_has_error(c); ++i) {
            xcb_generic_error_t* error = nullptr;
            std::free(xcb_get_window_attributes_reply(
                c, xcb_get_window_attributes(c, static_cast<xcb_window_t>(m_id)), &error));
            const bool gone = error != nullptr;
            std::free(error);
            if (gone) {
                break;
            }
            ::usleep(10000);
        }
        xcb_disconnect(c);
    }

private:
    pid_t m_pid = 0;
    std::uint64_t m_id = 0;
    LineReader m_output;
};

}  // namespace halvern::platform::testing
