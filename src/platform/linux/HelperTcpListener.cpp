#include "platform/linux/HelperTcpListener.h"

#include <cstdio>

namespace halvern::platform {

namespace {

constexpr const char* kHelperAddress = "127.0.0.1";
constexpr std::uint16_t kHelperPort = 80;

}  // namespace

HelperTcpListener::HelperTcpListener(PosixTcpListener& listener, HelperConnection& helper)
    : m_listener(listener), m_helper(helper) {}

bool HelperTcpListener::listen(const std::string& address, std::uint16_t port) {
    if (address != kHelperAddress || port != kHelperPort) {
        return m_listener.listen(address, port);
    }
    // The old socket goes first, as with listen(): the helper may bind the port only once it is
    // free again.
    m_listener.close();
    std::string error;
    const int fd = m_helper.takePort80Listener(error);
    if (fd < 0) {
        m_lastError = error;
        // The program's own message says the port could not be had; the helper's reason goes to
        // the terminal for whoever looks into it.
        std::fprintf(stderr, "zorvik: zorvik-helper could not hand over 127.0.0.1:80: %s\n",
                     error.c_str());
        return false;
    }
    if (!m_listener.adopt(fd)) {
        m_lastError = "zorvik-helper handed over no listening TCP socket";
        std::fprintf(stderr, "zorvik: %s\n", m_lastError.c_str());
        return false;
    }
    return true;
}

}  // namespace halvern::platform
