// zorvik-browser: starts Chromium on the user's profile with its DevTools pipe, keeps every new
// window it opens held until it is decided, and relays the protocol to Zorvik over a Unix socket
// (see BrowserRelay). It lives as long as the browser and exits with the browser's status.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/browser/BrowserRelay.h"
#include "platform/browser/ChromiumProcess.h"
#include "platform/browser/ChromiumProfile.h"
#include "platform/browser/RelaySocket.h"
#include "platform/linux/Subprocess.h"

using namespace halvern::platform;

namespace {

/// Exit codes of the launcher's own; otherwise it exits with the browser's status.
constexpr int kCannotStart = 1;
constexpr int kAlreadyRunning = 3;
/// After the pipe is closed the browser saves its session and ends; one that has not ended by
/// then is asked with SIGTERM.
constexpr auto kCloseGrace = std::chrono::seconds(10);

constexpr const char* kUsage =
    "Usage: zorvik-browser [--help | --version] [CHROMIUM-OPTION...] [URL...]\n"
    "Starts Chromium with Zorvik's popup blocking: every new window a page opens is held\n"
    "until Zorvik (or, while Zorvik does not run, this launcher) allows or cancels it.\n"
    "\n"
    "  --help       print this text and exit\n"
    "  --version    print the version and exit\n"
    "\n"
    "Every other argument goes to Chromium as it is. ZORVIK_CHROMIUM names another browser\n"
    "program; ZORVIK_BROWSER_SOCKET another socket for Zorvik.\n"
    "Exit status: the browser's; 1 when it cannot be started; 3 when Chromium already runs\n"
    "on the same profile.\n";

int g_signalWrite = -1;

void onStopSignal(int) {
    const char byte = 1;
    // A full pipe means a stop is already waiting.
    [[maybe_unused]] const ssize_t written = ::write(g_signalWrite, &byte, 1);
}

/// A pipe that turns readable on SIGTERM, SIGINT or SIGHUP; -1 when it cannot be made.
int stopSignals() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return -1;
    }
    g_signalWrite = fds[1];
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    ::sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
    ::signal(SIGPIPE, SIG_IGN);
    return fds[0];
}

/// Drains the signal pipe; true when a signal had arrived.
bool signalled(int fd) {
    std::array<char, 64> bytes{};
    bool any = false;
    while (::read(fd, bytes.data(), bytes.size()) > 0) {
        any = true;
    }
    return any;
}

void logLine(const std::string& line) {
    std::fprintf(stderr, "zorvik-browser: %s\n", line.c_str());
}

std::string chromiumProgram() {
    const char* given = std::getenv("ZORVIK_CHROMIUM");
    return given && given[0] != '\0' ? given : "/usr/bin/chromium";
}

/// Says on stderr, and in a small window when a display is there, that the profile is taken.
void reportRunning(const std::string& profile, long pid) {
    const std::string text = "Chromium is already running on the profile " + profile +
                             " (process " + std::to_string(pid) +
                             ") without Zorvik's popup blocking.\nClose it, then start "
                             "\"Chromium (Zorvik)\" again.";
    std::fprintf(stderr, "zorvik-browser: %s\n", text.c_str());
    const char* display = std::getenv("DISPLAY");
    const std::string xmessage = findExecutable("xmessage");
    if (display && display[0] != '\0' && !xmessage.empty()) {
        spawnDetached({xmessage, "-center", "-title", "Chromium (Zorvik)", text});
    }
}

/// Runs the relay until the browser has exited; returns its status.
int relayUntilExit(ChromiumProcess& chromium, RelaySocket* socket, int signalFd) {
    BrowserRelay relay(chromium.takeFromBrowser(), chromium.takeToBrowser(),
                       socket ? socket->fd() : -1, ::geteuid());
    relay.log = logLine;
    relay.start();
    std::vector<int> wake{signalFd};
    if (chromium.exitFd() >= 0) {
        wake.push_back(chromium.exitFd());
    }
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> closing;
    while (!chromium.exited()) {
        // Without a process descriptor the exit is noticed by looking twice a second.
        int timeout = chromium.exitFd() >= 0 ? -1 : 500;
        if (closing) {
            timeout = 500;
            if (Clock::now() - *closing > kCloseGrace) {
                chromium.terminate();
            }
        }
        if (relay.step(timeout, wake) && signalled(signalFd)) {
            if (closing) {
                chromium.terminate();
            }
            // The browser exits on its own once its pipe is closed.
            relay.closeBrowser();
            closing = Clock::now();
        }
    }
    return chromium.wait();
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::printf("zorvik-browser %s\n", HALVERN_VERSION);
            return 0;
        }
    }
    const std::string profile = ChromiumProfile::folderFor(arguments);
    if (const long pid = ChromiumProfile::runningBrowser(profile)) {
        reportRunning(profile, pid);
        return kAlreadyRunning;
    }
    const int signalFd = stopSignals();
    auto socket = std::make_unique<RelaySocket>();
    std::string error;
    if (!socket->listen(relaySocketPath(), error)) {
        // The browser is still kept safe by the launcher alone; Zorvik just cannot follow it.
        logLine(error + "; Zorvik cannot connect to this browser");
        socket.reset();
    }
    ChromiumProcess chromium;
    if (!chromium.start(chromiumProgram(), arguments, error)) {
        logLine(error);
        return kCannotStart;
    }
    return relayUntilExit(chromium, socket.get(), signalFd);
}
