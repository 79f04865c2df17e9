// The port-80 hand-over in a private network namespace: the helper binds 127.0.0.1:80, passes
// the listening socket over the Unix socket and keeps no copy of it.

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include "LinuxTestSupport.h"
#include "helper/HelperDaemon.h"
#include "platform/linux/HelperClient.h"

using namespace halvern;
using namespace halvern::platform::testing;
using halvern::helper::testing::HelperDaemon;
using Claim = platform::HelperConnection::Claim;

namespace {

/// Enters a network namespace of its own with the loopback device up: as root directly, as
/// anyone else inside a user namespace where this process is root. False when the machine
/// allows neither.
bool enterPrivateNetwork() {
    if (::geteuid() != 0) {
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (::unshare(CLONE_NEWUSER) != 0) {
            return false;
        }
        std::ofstream("/proc/self/setgroups") << "deny";
        std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
        std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
    }
    if (::unshare(CLONE_NEWNET) != 0) {
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    request.ifr_flags = IFF_UP | IFF_LOOPBACK | IFF_RUNNING;
    const bool up = fd >= 0 && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    ::close(fd);
    return up;
}

sockaddr_in port80() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(80);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool connectsToPort80() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = port80();
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

/// Reports a failed check on stderr and gives the child's exit code for it.
int fail(int code, const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    return code;
}

TEST(Port80HandOver, TheListenerIsHandedOverAndTheHelperKeepsNoCopy) {
    TempFolder dir;
    const int code = runInChild([&] {
        if (!enterPrivateNetwork()) {
            return kNotPermitted;
        }
        std::ofstream(dir / "hosts") << "127.0.0.1 localhost\n";
        HelperDaemon daemon(dir / "helper.sock", dir / "hosts");
        if (!daemon.start()) {
            return fail(1, "the helper did not start: " + daemon.log());
        }
        platform::HelperClient client(dir / "helper.sock");
        if (client.claim().claim != Claim::Granted) {
            return fail(2, "no claim");
        }
        std::string error;
        const int listener = client.takePort80Listener(error);
        if (listener < 0) {
            return fail(3, "no listener: " + error);
        }
        sockaddr_in bound{};
        socklen_t size = sizeof bound;
        int listening = 0;
        socklen_t flagSize = sizeof listening;
        if (::getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &size) != 0 ||
            bound.sin_port != htons(80) || bound.sin_addr.s_addr != htonl(INADDR_LOOPBACK) ||
            ::getsockopt(listener, SOL_SOCKET, SO_ACCEPTCONN, &listening, &flagSize) != 0 ||
            !listening || (::fcntl(listener, F_GETFL) & O_NONBLOCK) == 0) {
            return fail(4, "not a non-blocking listener on 127.0.0.1:80");
        }
        if (!connectsToPort80()) {
            return fail(5, "the handed-over listener takes no connection");
        }
        // While Zorvik holds the port, the helper cannot bind it again, and says so.
        if (client.takePort80Listener(error) != -1 || error != std::strerror(EADDRINUSE)) {
            return fail(6, "a second listener, or the wrong reason: " + error);
        }
        // Once Zorvik closes it, nobody listens: the helper kept no copy.
        ::close(listener);
        if (connectsToPort80()) {
            return fail(7, "port 80 still listens after the handed-over socket was closed");
        }
        return 0;
    });
    if (code == kNotPermitted) {
        GTEST_SKIP() << "needs a private network namespace (root or user namespaces)";
    }
    EXPECT_EQ(code, 0);
}

}  // namespace
