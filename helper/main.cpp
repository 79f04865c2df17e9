// zorvik-helper: the small root process that writes the hosts file and its two copies and binds
// 127.0.0.1:80 for one Zorvik at a time. See Server.h for the rules it serves by.

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "helper/HostsGuard.h"
#include "helper/ListenSocket.h"
#include "helper/Options.h"
#include "helper/Server.h"

using namespace halvern::helper;

namespace {

/// Exit codes: 2 for a wrong command line or set-up, 1 when serving failed.
constexpr int kBadSetup = 2;
constexpr int kFailed = 1;

int g_stopWrite = -1;

void onStopSignal(int) {
    const char byte = 1;
    // Nothing to do when the pipe is full: a stop is already waiting.
    [[maybe_unused]] const ssize_t written = ::write(g_stopWrite, &byte, 1);
}

/// A pipe that turns readable when SIGTERM or SIGINT arrives; -1 when it cannot be made.
int stopSignals() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return -1;
    }
    g_stopWrite = fds[1];
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    return fds[0];
}

bool groupId(const std::string& name, gid_t& gid) {
    std::vector<char> buffer(16384);
    group entry{};
    group* result = nullptr;
    if (::getgrnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &result) != 0 || !result) {
        return false;
    }
    gid = result->gr_gid;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options = Options::parse(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "zorvik-helper: %s\n%s", error.c_str(), Options::usage());
        return kBadSetup;
    }
    if (options->help) {
        std::fputs(Options::usage(), stdout);
        return 0;
    }
    // A test may serve a hosts file of its own as its own user; the real one needs root.
    if (::geteuid() != 0 && !options->hostsGiven) {
        logLine("must run as root: it writes " + options->hostsPath + " and binds port 80");
        return kBadSetup;
    }
    Server::Config config;
    if (!groupId(options->group, config.group)) {
        logLine("no group named " + options->group);
        return kBadSetup;
    }
    ListenSocket socket;
    config.exitWhenIdle = socket.adoptActivated();
    if (!config.exitWhenIdle && !socket.create(options->socketPath, config.group, error)) {
        logLine(error);
        return kFailed;
    }
    const int stop = stopSignals();
    if (stop < 0) {
        logLine(std::string("cannot watch for signals: ") + std::strerror(errno));
        return kFailed;
    }
    HostsGuard hosts(options->hostsPath);
    // A rewrite a kill cut short is finished before anyone may ask for another.
    hosts.recoverAll();
    Server server(socket.fd(), config, hosts);
    server.run(stop);
    return 0;
}
