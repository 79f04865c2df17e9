#include "platform/linux/PosixTcpListener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "LoopbackClient.h"
#include "adservers/BlockCounter.h"
#include "adservers/PlaceholderServer.h"
#include "platform/fake/FakeFileSystem.h"
#include "platform/fake/FakeSound.h"
#include "platform/linux/PollScheduler.h"
#include "support/FakePlatform.h"
#include "support/ProgramParts.h"

namespace halvern::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::Client;

class PosixTcpListenerTest : public ::testing::Test {
protected:
    /// Runs the loop until the condition holds or the time is up; returns the condition.
    bool runUntil(const std::function<bool()>& done, Millis limit = 5000ms) {
        const auto end = Clock::now() + limit;
        for (int rounds = 0; !done(); ++rounds) {
            if (Clock::now() > end) {
                return false;
            }
            // Loopback usually answers within a few passes of the loop; then stop spinning.
            if (rounds < 50) {
                scheduler.pump();
            } else {
                scheduler.wait(1ms);
            }
        }
        return true;
    }
    /// Reads the client's reply until the server closes the connection.
    std::string replyTo(Client& client) {
        EXPECT_TRUE(runUntil([&] { return client.readSome(); })) << "no close after the reply";
        return client.received;
    }

    PollScheduler scheduler;
};

/// The placeholder server on real sockets, with its image in a fake file system.
class PlaceholderOnLoopback : public PosixTcpListenerTest {
protected:
    PlaceholderOnLoopback() {
        files.put("/opt/halvern/1by1.jpg", "GIF89a-image");
        server.StartWebServerCrap();
    }
    std::uint16_t port() const { return listener.localPort(); }
    /// Hands over connections before their first bytes, so idle ones reach the server.
    void acceptIdleConnections() {
        listener.setAcceptOnData(false);
        server.StartListening();
    }
    static bool isImageReply(const std::string& reply) {
        return reply.starts_with("HTTP/1.0 200 OK\r\n") && reply.ends_with("\r\n\r\nGIF89a-image");
    }

    halvern::testing::FakePlatform fake;
    FakeFileSystem& files = fake.files;
    PosixTcpListener listener{scheduler};
    platform::Platform platform{scheduler,      files,         fake.dialogs,  fake.userStore,
                                fake.launcher,  fake.process,  fake.resolver, fake.instance,
                                fake.tray,      fake.sound,    listener,      fake.desktop,
                                fake.processes, fake.http,     fake.hasher,   fake.scratch,
                                fake.autostart, fake.registry, fake.browser,  fake.input};
    halvern::testing::ProgramParts parts{platform, {"/opt/halvern", "/etc/hosts"}};
    forms::MainForm& form = parts.form;
    core::MainState& state = parts.state;
    adservers::PlaceholderServer server{parts.context, parts.log, parts.rings,
                                        parts.counter, [] {},     0};
};

/// A TCP socket bound to 127.0.0.1 by someone else (a helper process, in the program): blocking
/// and inheritable, and listening unless told otherwise.
int boundSocket(int type = SOCK_STREAM, bool listening = true) {
    const int fd = ::socket(AF_INET, type, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    if (listening) {
        EXPECT_EQ(::listen(fd, 16), 0);
    }
    return fd;
}

std::uint16_t portOf(int fd) {
    sockaddr_in addr{};
    socklen_t length = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
    return ntohs(addr.sin_port);
}

bool isOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

TEST_F(PosixTcpListenerTest, AdoptedSocketIsServedOnTheLoopAndClosedWithTheListener) {
    const int fd = boundSocket();
    const std::uint16_t port = portOf(fd);
    PosixTcpListener listener(scheduler);
    TcpListener::Handlers handlers;
    handlers.onData = [&](TcpListener::ConnectionId id, std::string_view bytes) {
        listener.sendAndClose(id, "echo " + std::string(bytes));
    };
    listener.setHandlers(handlers);
    ASSERT_TRUE(listener.adopt(fd));
    EXPECT_TRUE(listener.isListening());
    EXPECT_EQ(listener.localPort(), port);
    EXPECT_NE(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0) << "the loop never blocks on it";
    EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << "no program the user opens inherits it";

    Client client(port);
    ASSERT_TRUE(client.connected());
    client.send("hello");
    EXPECT_EQ(replyTo(client), "echo hello");
    listener.close();
    EXPECT_FALSE(isOpen(fd)) << "the listener owns the adopted descriptor";
}

TEST_F(PosixTcpListenerTest, AdoptRefusesAndClosesWhatIsNoListeningTcpSocket) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    ::close(pipeEnds[1]);
    const struct {
        const char* what;
        int fd;
    } cases[] = {
        {"a bound TCP socket that does not listen", boundSocket(SOCK_STREAM, false)},
        {"a UDP socket", boundSocket(SOCK_DGRAM, false)},
        {"a pipe", pipeEnds[0]},
    };
    PosixTcpListener listener(scheduler);
    for (const auto& c : cases) {
        EXPECT_FALSE(listener.adopt(c.fd)) << c.what;
        EXPECT_FALSE(listener.isListening()) << c.what;
        EXPECT_EQ(listener.localPort(), 0) << c.what;
        EXPECT_FALSE(isOpen(c.fd)) << c.what << " is closed, not leaked";
    }
    EXPECT_FALSE(listener.adopt(-1));
}

TEST_F(PosixTcpListenerTest, AdoptingReplacesTheSocketListenedOnBefore) {
    PosixTcpListener listener(scheduler);
    ASSERT_TRUE(listener.listen("127.0.0.1", 0));
    const std::uint16_t before = listener.localPort();
    const int fd = boundSocket();
    ASSERT_TRUE(listener.adopt(fd));
    EXPECT_EQ(listener.localPort(), portOf(fd));
    EXPECT_FALSE(Client(before).connected()) << "the old socket is closed";
    // And listening again closes the adopted one.
    ASSERT_TRUE(listener.listen("127.0.0.1", 0));
    EXPECT_FALSE(isOpen(fd));
}

TEST_F(PosixTcpListenerTest, ListensOnLoopbackAndAPortCannotBeHeldTwice) {
    PosixTcpListener first(scheduler);
    PosixTcpListener second(scheduler);
    ASSERT_TRUE(first.listen("127.0.0.1", 0));
    EXPECT_NE(first.localPort(), 0);
    EXPECT_FALSE(second.listen("127.0.0.1", first.localPort()));
    EXPECT_FALSE(second.listen("not an address", 0));
    first.close();
    EXPECT_FALSE(first.isListening());
    EXPECT_EQ(first.localPort(), 0);
}

TEST_F(PosixTcpListenerTest, ReplyLargerThanTheSocketBuffersArrivesWhole) {
    const std::string big(8 << 20, 'x');
    for (const bool inOneCall : {false, true}) {
        PosixTcpListener listener(scheduler);
        TcpListener::Handlers handlers;
        handlers.onData = [&](TcpListener::ConnectionId id, std::string_view) {
            if (inOneCall) {
                listener.sendAndClose(id, big);
            } else {
                listener.send(id, big.substr(0, 100));
                listener.send(id, big.substr(100));
                listener.closeAfterSend(id);
            }
        };
        listener.setHandlers(handlers);
        ASSERT_TRUE(listener.listen("127.0.0.1", 0));
        Client client(listener.localPort());
        client.send("go");
        EXPECT_EQ(replyTo(client).size(), big.size()) << inOneCall;
        EXPECT_FALSE(client.wasReset);
        EXPECT_TRUE(runUntil([&] { return listener.connectionCount() == 0; }));
    }
}

TEST_F(PosixTcpListenerTest, ConnectionsBeyondTheCapWaitAndAreServedLater) {
    PosixTcpListener listener(scheduler, 4);
    listener.setAcceptOnData(false);
    std::vector<TcpListener::ConnectionId> open;
    TcpListener::Handlers handlers;
    handlers.onAccept = [&](TcpListener::ConnectionId id) { open.push_back(id); };
    listener.setHandlers(handlers);
    ASSERT_TRUE(listener.listen("127.0.0.1", 0));
    std::vector<Client> clients;
    for (int i = 0; i < 7; ++i) {
        clients.emplace_back(listener.localPort());
    }
    scheduler.wait(50ms);
    EXPECT_EQ(open.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        listener.send(open[i], "bye");
        listener.closeAfterSend(open[i]);
    }
    EXPECT_TRUE(runUntil([&] { return open.size() == 7; }));
    EXPECT_EQ(listener.connectionCount(), 4u);
}

TEST_F(PosixTcpListenerTest, AtTheCapTheOwnerIsAskedToMakeRoomOnlyForAWaitingConnection) {
    PosixTcpListener listener(scheduler, 2);
    listener.setAcceptOnData(false);
    std::vector<TcpListener::ConnectionId> open;
    int asked = 0;
    bool makeRoom = true;
    TcpListener::Handlers handlers;
    handlers.onAccept = [&](TcpListener::ConnectionId id) { open.push_back(id); };
    handlers.onFull = [&] {
        ++asked;
        if (makeRoom) {
            listener.disconnect(open.front());
        }
    };
    handlers.onClosed = [&](TcpListener::ConnectionId id) { std::erase(open, id); };
    listener.setHandlers(handlers);
    ASSERT_TRUE(listener.listen("127.0.0.1", 0));
    std::vector<Client> clients;
    clients.emplace_back(listener.localPort());
    clients.emplace_back(listener.localPort());
    ASSERT_TRUE(runUntil([&] { return open.size() == 2; }));
    scheduler.wait(30ms);
    EXPECT_EQ(asked, 0) << "room was made with nobody waiting";

    clients.emplace_back(listener.localPort());
    ASSERT_TRUE(runUntil([&] { return clients[0].readSome(); }));  // the first one was closed
    EXPECT_TRUE(runUntil([&] { return open.size() == 2; }));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(listener.connectionCount(), 2u);

    // An owner that closes nothing leaves the newcomer waiting, without being asked in a loop.
    makeRoom = false;
    clients.emplace_back(listener.localPort());
    scheduler.wait(50ms);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(listener.connectionCount(), 2u);
    listener.disconnect(open.front());
    EXPECT_TRUE(runUntil([&] { return open.size() == 2 && listener.connectionCount() == 2; }));
}

Millis processCpuTime() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto micros = [](const timeval& t) { return t.tv_sec * 1000000LL + t.tv_usec; };
    return Millis((micros(usage.ru_utime) + micros(usage.ru_stime)) / 1000);
}

TEST_F(PosixTcpListenerTest, RunningOutOfDescriptorsPausesAcceptingWithoutSpinning) {
#ifdef __SANITIZE_ADDRESS__
    // The sanitizer runtime opens files of its own while it checks calls; with no descriptor
    // left its type checks report objects it could not inspect. The plain build runs this test.
    GTEST_SKIP() << "needs free descriptors for the sanitizer runtime";
#endif
    PosixTcpListener listener(scheduler);
    listener.setAcceptOnData(false);
    int accepted = 0;
    TcpListener::Handlers handlers;
    handlers.onAccept = [&](TcpListener::ConnectionId) { ++accepted; };
    listener.setHandlers(handlers);
    ASSERT_TRUE(listener.listen("127.0.0.1", 0));
    std::vector<Client> clients;
    for (int i = 0; i < 3; ++i) {
        clients.emplace_back(listener.localPort());
    }
    rlimit old{};
    ::getrlimit(RLIMIT_NOFILE, &old);
    // The lowest free descriptor becomes the limit, so the next accept finds none.
    const int lowestFree = ::dup(0);
    ::close(lowestFree);
    rlimit tight = old;
    tight.rlim_cur = static_cast<rlim_t>(lowestFree);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    const Millis cpuBefore = processCpuTime();
    scheduler.wait(300ms);
    const Millis cpuUsed = processCpuTime() - cpuBefore;
    ::setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_EQ(accepted, 0);
    EXPECT_LT(cpuUsed, 60ms) << "the accept loop spun while out of descriptors";
    EXPECT_TRUE(runUntil([&] { return accepted == 3; }, 2000ms));
}

TEST_F(PlaceholderOnLoopback, HeadSentInPiecesIsAnsweredOnce) {
    Client client(port());
    client.send("GET /ads/bann");
    scheduler.wait(30ms);
    client.send("er.gif HTTP/1.0\r\nHost: ads.exa");
    scheduler.wait(30ms);
    EXPECT_EQ(client.received, "");
    client.send("mple\r\n\r\n");
    EXPECT_TRUE(isImageReply(replyTo(client))) << client.received;
    EXPECT_EQ(state.strLastHost, "ads.example");
    EXPECT_EQ(state.nBlockedToday, 1);
}

TEST_F(PlaceholderOnLoopback, BytesThatCanNeverBeginARequestAreAnsweredWithoutWaiting) {
    const std::string tlsHello("\x16\x03\x01\x00\xa5\x01\x00\x00\xa1\x03\x03", 11);
    for (const std::string& bytes : {tlsHello, std::string("\0\0\0\0", 4)}) {
        Client client(port());
        client.send(bytes);
        // Far below the time a connection may take to send its head.
        EXPECT_TRUE(runUntil([&] { return client.readSome(); }, 2000ms));
        EXPECT_TRUE(client.received.starts_with("HTTP/1.0 200 OK\r\n")) << client.received;
        EXPECT_TRUE(client.received.ends_with("\r\n\r\nUNKNOWN")) << client.received;
        EXPECT_FALSE(client.wasReset);
    }
    EXPECT_EQ(state.nBlockedToday, 0);
    EXPECT_TRUE(runUntil([&] { return listener.connectionCount() == 0; }));
}

TEST_F(PlaceholderOnLoopback, ThousandIdleConnectionsDoNotDelayANewRequest) {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur < 2300) {
        GTEST_SKIP() << "needs 2300 descriptors, has " << limit.rlim_cur;
    }
    acceptIdleConnections();
    std::vector<Client> idle;
    for (int i = 0; i < 1000; ++i) {
        idle.emplace_back(port());
        ASSERT_TRUE(idle.back().connected());
    }
    ASSERT_TRUE(runUntil([&] { return listener.connectionCount() == 1000; }));
    const auto start = Clock::now();
    Client client(port());
    client.send("GET /x.gif HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(isImageReply(replyTo(client)));
    EXPECT_LT(Clock::now() - start, 500ms);
    EXPECT_EQ(listener.connectionCount(), 1000u);
}

TEST_F(PosixTcpListenerTest, SlowlorisBeyondTheCapDoesNotKeepARequestWaiting) {
    // The placeholder server behind a listener that holds at most 40 connections, attacked by
    // five times as many heads that never end.
    halvern::testing::FakePlatform fake;
    fake.files.put("/opt/halvern/1by1.jpg", "GIF89a-image");
    PosixTcpListener listener(scheduler, 40);
    platform::Platform platform{scheduler,      fake.files,    fake.dialogs,  fake.userStore,
                                fake.launcher,  fake.process,  fake.resolver, fake.instance,
                                fake.tray,      fake.sound,    listener,      fake.desktop,
                                fake.processes, fake.http,     fake.hasher,   fake.scratch,
                                fake.autostart, fake.registry, fake.browser,  fake.input};
    halvern::testing::ProgramParts parts{platform, {"/opt/halvern", "/etc/hosts"}};
    adservers::PlaceholderServer server{parts.context, parts.log, parts.rings,
                                        parts.counter, [] {},     0};
    server.StartWebServerCrap();
    std::vector<Client> slow;
    for (int round = 0; round < 5; ++round) {
        for (int i = 0; i < 40; ++i) {
            slow.emplace_back(listener.localPort());
            slow.back().send("GET /slow HTTP/1.1\r\nHost: a\r\n");
        }
        scheduler.wait(20ms);
        for (Client& client : slow) {
            client.sendSome("X-a: b\r\n");  // each trickles on, the closed ones included
        }
    }
    ASSERT_TRUE(runUntil([&] { return listener.connectionCount() == 40; }));

    for (int i = 0; i < 5; ++i) {
        Client probe(listener.localPort());
        probe.send("GET /probe.gif HTTP/1.0\r\n\r\n");
        ASSERT_TRUE(runUntil([&] { return probe.readSome(); }, 2000ms)) << "probe " << i;
        EXPECT_TRUE(probe.received.ends_with("\r\n\r\nGIF89a-image")) << probe.received;
    }
    EXPECT_EQ(parts.state.nBlockedToday, 5);
    EXPECT_LE(listener.connectionCount(), 40u);
    // The oldest heads made room, without a reply; the newest still wait for theirs.
    EXPECT_TRUE(runUntil([&] { return slow.front().readSome(); }));
    EXPECT_EQ(slow.front().received, "");
    EXPECT_FALSE(slow.back().readSome());
}

TEST_F(PlaceholderOnLoopback, SilentConnectionsWaitInTheKernelWhileRequestsAreAnswered) {
    std::vector<Client> silent;
    for (int i = 0; i < 100; ++i) {
        silent.emplace_back(port());
    }
    Client client(port());
    client.send("GET /x.gif HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(isImageReply(replyTo(client)));
    EXPECT_EQ(listener.connectionCount(), 0u);
}

TEST_F(PlaceholderOnLoopback, ManySequentialConnectionsAreEachAnswered) {
    for (int i = 0; i < 2000; ++i) {
        Client client(port());
        client.send("GET /p" + std::to_string(i) + ".gif HTTP/1.0\r\nHost: h\r\n\r\n");
        ASSERT_TRUE(isImageReply(replyTo(client))) << i;
    }
    EXPECT_EQ(state.nBlockedToday, 2000);
    EXPECT_TRUE(runUntil([&] { return listener.connectionCount() == 0; }));
}

TEST_F(PlaceholderOnLoopback, ClientsLeavingEarlyFreeTheirConnections) {
    acceptIdleConnections();
    {
        Client silent(port());
        Client partial(port());
        partial.send("GET /x.gif HTTP/1.0\r\n");
        Client impatient(port());
        impatient.send("GET /x.gif HTTP/1.0\r\n\r\n");
        ASSERT_TRUE(runUntil([&] { return listener.connectionCount() >= 2; }));
    }  // all three close without reading
    EXPECT_TRUE(runUntil([&] { return listener.connectionCount() == 0; }));
    Client next(port());
    next.send("GET /y.gif HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(isImageReply(replyTo(next)));
}

TEST_F(PlaceholderOnLoopback, ClientThatShutsDownItsSideGetsItsReply) {
    Client client(port());
    client.send("GET /x.gif HTTP/1.0\r\n");
    client.shutdownSending();
    EXPECT_TRUE(isImageReply(replyTo(client)));
}

TEST_F(PlaceholderOnLoopback, ReplyIsNotLostWhenTheClientSentMoreThanTheHead) {
    Client client(port());
    // A body the server never reads: closing with it unread would reset the connection.
    client.send("GET /x.gif HTTP/1.0\r\nContent-Length: 200000\r\n\r\n");
    std::string body(200000, 'b');
    std::string_view rest = body;
    ASSERT_TRUE(runUntil([&] {
        rest.remove_prefix(client.sendSome(rest));
        return rest.empty();
    }));
    EXPECT_TRUE(isImageReply(replyTo(client)));
    EXPECT_FALSE(client.wasReset);
    client.closeNow();
    EXPECT_TRUE(runUntil([&] { return listener.connectionCount() == 0; }));
}

}  // namespace
}  // namespace halvern::platform
