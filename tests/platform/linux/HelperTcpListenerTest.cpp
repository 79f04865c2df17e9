#include "platform/linux/HelperTcpListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "FakeHelperConnection.h"
#include "LoopbackClient.h"
#include "adservers/PlaceholderServer.h"
#include "platform/linux/PollScheduler.h"
#include "support/FakePlatform.h"
#include "support/ProgramParts.h"

namespace halvern::platform {
namespace {

using namespace std::chrono_literals;
using testing::Client;
using testing::FakeHelperConnection;

/// A listening socket on a free loopback port, as the helper binds port 80.
int helperBoundSocket() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_EQ(::listen(fd, 16), 0);
    return fd;
}

/// The placeholder server on port 80 as it is for a user: its listener asks the helper.
struct HelperTcpListenerTest : ::testing::Test {
    HelperTcpListenerTest() {
        fake.files.put("/opt/halvern/1by1.jpg", "GIF89a-image");
        parts.log.observe([this](const std::string& text) { log.push_back(text); });
    }

    /// Runs the loop until the client has its whole reply.
    std::string replyTo(Client& client) {
        const auto end = std::chrono::steady_clock::now() + 5s;
        while (!client.readSome() && std::chrono::steady_clock::now() < end) {
            scheduler.wait(1ms);
        }
        return client.received;
    }

    PollScheduler scheduler;
    halvern::testing::FakePlatform fake;
    FakeHelperConnection helper{fake.files};
    PosixTcpListener posix{scheduler};
    HelperTcpListener listener{posix, helper};
    Platform platform{scheduler,    fake.files,     fake.dialogs,   fake.userStore, fake.launcher,
                      fake.process, fake.resolver,  fake.instance,  fake.tray,      fake.sound,
                      listener,     fake.desktop,   fake.processes, fake.http,      fake.hasher,
                      fake.scratch, fake.autostart, fake.registry,  fake.browser,   fake.input};
    halvern::testing::ProgramParts parts{platform, {"/opt/halvern", "/etc/hosts"}};
    adservers::PlaceholderServer server{parts.context, parts.log, parts.rings, parts.counter,
                                        [] {}};
    std::vector<std::string> log;
};

TEST_F(HelperTcpListenerTest, PlaceholderOnPort80ServesOnTheSocketTheHelperHandsOver) {
    const int fd = helperBoundSocket();
    sockaddr_in addr{};
    socklen_t length = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
    helper.port80Fd = fd;

    server.StartWebServerCrap();
    EXPECT_EQ(helper.calls, std::vector<std::string>{"port80"});
    ASSERT_TRUE(listener.isListening());
    EXPECT_EQ(parts.form.lbltype.caption(), "Started blocking...10 10");

    Client client(ntohs(addr.sin_port));
    client.send("GET /banner.gif HTTP/1.0\r\nHost: ads.example\r\n\r\n");
    const std::string reply = replyTo(client);
    EXPECT_TRUE(reply.starts_with("HTTP/1.0 200 OK\r\n")) << reply;
    EXPECT_TRUE(reply.ends_with("GIF89a-image")) << reply;
    EXPECT_EQ(parts.state.nBlockedToday, 1);
}

TEST_F(HelperTcpListenerTest, PortTheHelperCannotHaveTakesTheUsualFailurePath) {
    helper.port80Error = "Address already in use";
    server.StartWebServerCrap();
    EXPECT_FALSE(listener.isListening());
    EXPECT_EQ(listener.lastError(), "Address already in use");
    EXPECT_EQ(parts.form.lbltype.caption(), "Stopped blocking...");
    EXPECT_EQ(log.back(), "Web server could not listen on port 80.");

    // Once the port is free again, the next start gets it.
    helper.port80Fd = helperBoundSocket();
    server.StartWebServerCrap();
    EXPECT_TRUE(listener.isListening());
}

TEST_F(HelperTcpListenerTest, OtherPortsAreListenedOnDirectly) {
    ASSERT_TRUE(listener.listen("127.0.0.1", 0));
    EXPECT_NE(listener.localPort(), 0);
    EXPECT_TRUE(helper.calls.empty());
}

TEST_F(HelperTcpListenerTest, SomethingElseThanAListeningSocketIsRefused) {
    helper.port80Fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    EXPECT_FALSE(listener.listen("127.0.0.1", 80));
    EXPECT_EQ(listener.lastError(), "zorvik-helper handed over no listening TCP socket");
}

}  // namespace
}  // namespace halvern::platform
