// What every TcpListener backend promises, as one typed suite: connections in memory, and
// non-blocking sockets on 127.0.0.1 with a port the kernel picks. A driver plays the client
// (connect, send, shut down, reset), reads what the server sent and whether it closed, and
// settles: runs the loop until a condition holds (the in-memory listener is already settled).
// Clients send their first bytes before the test waits for onAccept: the real listener by
// default hands a connection over only once its first bytes arrived.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/fake/FakeTcpListener.h"
#include "platform/linux/PollScheduler.h"
#include "platform/linux/PosixTcpListener.h"

namespace halvern::platform::contract {
namespace {

using namespace std::chrono_literals;
using Id = TcpListener::ConnectionId;

class FakeTcpDriver {
public:
    static constexpr const char* kName = "Fake";
    using Client = Id;

    TcpListener& listener() { return m_listener; }
    Client connect() { return m_listener.connect(); }
    void send(Client client, const std::string& bytes) { m_listener.clientSend(client, bytes); }
    void shutdown(Client client) { m_listener.clientShutdown(client); }
    void reset(Client client) { m_listener.clientReset(client); }
    std::string received(Client client) const { return m_listener.reply(client); }
    bool serverClosed(Client client) const { return !m_listener.isOpen(client); }
    bool settle(const std::function<bool()>& condition) { return condition(); }

private:
    FakeTcpListener m_listener;
};

/// A client socket on 127.0.0.1.
struct SocketClient {
    int fd = -1;
    std::string received;
    bool closed = false;
};

class PosixTcpDriver {
public:
    static constexpr const char* kName = "Posix";
    using Client = std::shared_ptr<SocketClient>;

    ~PosixTcpDriver() {
        for (const auto& client : m_clients) {
            if (client->fd >= 0) {
                ::close(client->fd);
            }
        }
    }
    TcpListener& listener() { return m_listener; }
    Client connect() {
        auto client = std::make_shared<SocketClient>();
        client->fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(m_listener.localPort());
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(client->fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ::fcntl(client->fd, F_SETFL, O_NONBLOCK);
        m_clients.push_back(client);
        return client;
    }
    void send(const Client& client, const std::string& bytes) {
        EXPECT_EQ(::send(client->fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    void shutdown(const Client& client) { ::shutdown(client->fd, SHUT_WR); }
    void reset(const Client& client) {
        const linger abort{1, 0};
        ::setsockopt(client->fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        ::close(client->fd);
        client->fd = -1;
    }
    std::string received(const Client& client) {
        readFrom(*client);
        return client->received;
    }
    bool serverClosed(const Client& client) {
        readFrom(*client);
        return client->closed;
    }
    /// Runs the loop until the condition holds, for up to five seconds.
    bool settle(const std::function<bool()>& condition) {
        const auto end = std::chrono::steady_clock::now() + 5s;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            m_scheduler.wait(1ms);
        }
        return true;
    }

private:
    static void readFrom(SocketClient& client) {
        char buffer[4096];
        while (client.fd >= 0 && !client.closed) {
            const ssize_t n = ::recv(client.fd, buffer, sizeof buffer, 0);
            if (n > 0) {
                client.received.append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                client.closed = true;
            } else {
                return;
            }
        }
    }

    PollScheduler m_scheduler;
    PosixTcpListener m_listener{m_scheduler};
    std::vector<Client> m_clients;
};

template <typename Driver>
class TcpListenerContract : public ::testing::Test {
protected:
    TcpListenerContract() {
        TcpListener::Handlers handlers;
        handlers.onAccept = [this](Id id) { accepted.push_back(id); };
        handlers.onData = [this](Id id, std::string_view bytes) { data[id].append(bytes); };
        handlers.onClosed = [this](Id id) { ++closed[id]; };
        m_driver.listener().setHandlers(handlers);
        EXPECT_TRUE(m_driver.listener().listen("127.0.0.1", 0));
    }
    TcpListener& listener() { return m_driver.listener(); }
    /// A client that connected and sent its request, and the id the server gave it.
    std::pair<typename Driver::Client, Id> connectAndSend(const std::string& request) {
        const std::size_t before = accepted.size();
        auto client = m_driver.connect();
        m_driver.send(client, request);
        EXPECT_TRUE(m_driver.settle([&] {
            return accepted.size() > before && data[accepted.back()].size() == request.size();
        }));
        return {client, accepted.size() > before ? accepted.back() : 0};
    }
    /// Waits until the server closed the client's connection; returns what it received.
    std::string replyTo(const typename Driver::Client& client) {
        EXPECT_TRUE(m_driver.settle([&] { return m_driver.serverClosed(client); }));
        return m_driver.received(client);
    }

    Driver m_driver;
    std::vector<Id> accepted;
    std::map<Id, std::string> data;
    std::map<Id, int> closed;
};

using Drivers = ::testing::Types<FakeTcpDriver, PosixTcpDriver>;
class DriverNames {
public:
    template <typename T>
    static std::string GetName(int) {
        return T::kName;
    }
};
TYPED_TEST_SUITE(TcpListenerContract, Drivers, DriverNames);

TYPED_TEST(TcpListenerContract, ListensOnAPortAndStopsOnClose) {
    auto& listener = this->listener();
    EXPECT_TRUE(listener.isListening());
    EXPECT_NE(listener.localPort(), 0);
    listener.close();
    EXPECT_FALSE(listener.isListening());
    EXPECT_EQ(listener.localPort(), 0);
    listener.close();  // twice is fine
    EXPECT_TRUE(listener.listen("127.0.0.1", 0));
    EXPECT_TRUE(listener.isListening());
}

TYPED_TEST(TcpListenerContract, ARequestGetsItsReplyAndTheConnectionCloses) {
    struct Case {
        const char* how;
        std::function<void(TcpListener&, Id)> reply;
    } cases[] = {
        {"send then close after send",
         [](TcpListener& l, Id id) {
             l.send(id, "HTTP/1.0 200 OK\r\n\r\n");
             l.send(id, "GIF89a");
             l.closeAfterSend(id);
         }},
        {"send and close",
         [](TcpListener& l, Id id) { l.sendAndClose(id, "HTTP/1.0 200 OK\r\n\r\nGIF89a"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        auto [client, id] = this->connectAndSend("GET / HTTP/1.0\r\n\r\n");
        ASSERT_NE(id, 0u);
        EXPECT_EQ(this->data[id], "GET / HTTP/1.0\r\n\r\n");
        EXPECT_EQ(this->listener().connectionCount(), 1u);
        c.reply(this->listener(), id);
        EXPECT_EQ(this->replyTo(client), "HTTP/1.0 200 OK\r\n\r\nGIF89a");
        EXPECT_TRUE(this->m_driver.settle([&] { return this->closed[id] == 1; }));
        EXPECT_EQ(this->listener().connectionCount(), 0u);
    }
    EXPECT_EQ(this->accepted.size(), 2u);
    EXPECT_NE(this->accepted[0], this->accepted[1]) << "ids are never reused";
}

TYPED_TEST(TcpListenerContract, DisconnectDropsTheConnectionAndLaterCallsAreIgnored) {
    auto [client, id] = this->connectAndSend("GET /");
    ASSERT_NE(id, 0u);
    this->listener().disconnect(id);
    EXPECT_EQ(this->closed[id], 1) << "onClosed comes at once";
    EXPECT_EQ(this->listener().connectionCount(), 0u);
    this->replyTo(client);
    this->listener().send(id, "too late");
    this->listener().closeAfterSend(id);
    this->listener().disconnect(id);
    this->listener().disconnect(987654);
    EXPECT_EQ(this->m_driver.received(client), "");
    EXPECT_EQ(this->closed[id], 1);
}

TYPED_TEST(TcpListenerContract, TheClientsEndClosesTheConnectionWithoutAnEndHandler) {
    auto [client, id] = this->connectAndSend("GET /");
    ASSERT_NE(id, 0u);
    this->m_driver.shutdown(client);
    EXPECT_TRUE(this->m_driver.settle([&] { return this->closed[id] == 1; }));
    EXPECT_EQ(this->listener().connectionCount(), 0u);
}

TYPED_TEST(TcpListenerContract, WithAnEndHandlerTheServerMayStillReply) {
    std::vector<Id> ended;
    TcpListener::Handlers handlers;
    handlers.onAccept = [this](Id id) { this->accepted.push_back(id); };
    handlers.onData = [this](Id id, std::string_view bytes) { this->data[id].append(bytes); };
    handlers.onEnd = [&](Id id) { ended.push_back(id); };
    handlers.onClosed = [this](Id id) { ++this->closed[id]; };
    this->listener().setHandlers(handlers);

    auto [client, id] = this->connectAndSend("GET /");
    ASSERT_NE(id, 0u);
    this->m_driver.shutdown(client);
    EXPECT_TRUE(this->m_driver.settle([&] { return ended.size() == 1; }));
    EXPECT_EQ(ended, std::vector<Id>{id});
    EXPECT_EQ(this->closed[id], 0);
    this->listener().sendAndClose(id, "late reply");
    EXPECT_EQ(this->replyTo(client), "late reply");
    EXPECT_TRUE(this->m_driver.settle([&] { return this->closed[id] == 1; }));
}

TYPED_TEST(TcpListenerContract, AResetByTheClientClosesTheConnectionOnce) {
    auto [client, id] = this->connectAndSend("GET /");
    ASSERT_NE(id, 0u);
    this->m_driver.reset(client);
    EXPECT_TRUE(this->m_driver.settle([&] { return this->closed[id] >= 1; }));
    this->listener().disconnect(id);
    EXPECT_EQ(this->closed[id], 1);
    EXPECT_EQ(this->listener().connectionCount(), 0u);
}

TYPED_TEST(TcpListenerContract, ClosingTheListenerKeepsAcceptedConnections) {
    auto [client, id] = this->connectAndSend("GET /");
    ASSERT_NE(id, 0u);
    this->listener().close();
    EXPECT_EQ(this->listener().connectionCount(), 1u);
    this->listener().sendAndClose(id, "still served");
    EXPECT_EQ(this->replyTo(client), "still served");
}

}  // namespace
}  // namespace halvern::platform::contract
