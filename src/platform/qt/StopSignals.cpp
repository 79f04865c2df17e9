#include "platform/qt/StopSignals.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace halvern::platform {
namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

int g_signalWrite = -1;
volatile std::sig_atomic_t g_arrived = 0;

extern "C" void onStopSignal(int signal) {
    // Only async-signal-safe work here: the loop reads the pipe and runs the exit command.
    const int saved = errno;
    g_arrived = 1;
    const char byte = static_cast<char>(signal);
    if (g_signalWrite >= 0) {
        [[maybe_unused]] const auto written = ::write(g_signalWrite, &byte, 1);
    }
    errno = saved;
}

sigset_t stopSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kStopSignals) {
        sigaddset(&set, signal);
    }
    return set;
}

}  // namespace

void StopSignals::holdBack() {
    const sigset_t set = stopSet();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

bool StopSignals::arrived() {
    return g_arrived != 0;
}

StopSignals::StopSignals(Scheduler& scheduler, std::function<void()> onStop)
    : m_scheduler(scheduler) {
    g_arrived = 0;
    const sigset_t set = stopSet();
    if (::pipe2(m_pipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        // No way to hand a signal to the loop: it ends the process as it normally would.
        m_pipe[0] = m_pipe[1] = -1;
        ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        return;
    }
    g_signalWrite = m_pipe[1];
    m_watch =
        scheduler.watchFd(m_pipe[0], Scheduler::kReadable, [this, onStop = std::move(onStop)](int) {
            char buffer[64];
            while (::read(m_pipe[0], buffer, sizeof buffer) > 0) {
            }
            onStop();
        });
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kStopSignals) {
        ::sigaction(signal, &action, nullptr);
    }
    // A signal held back since the start is delivered here, into the pipe.
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

StopSignals::~StopSignals() {
    if (m_pipe[0] < 0) {
        return;
    }
    // The exit has run by now; a late signal ends the process as it normally would.
    for (int signal : kStopSignals) {
        std::signal(signal, SIG_DFL);
    }
    m_scheduler.unwatch(m_watch);
    g_signalWrite = -1;
    g_arrived = 0;
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

}  // namespace halvern::platform
