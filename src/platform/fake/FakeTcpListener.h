#pragma once

#include <map>
#include <string>

#include "platform/TcpListener.h"

namespace halvern::platform {

/// Connections in memory: a test plays the client (connect, send, shut down, reset) and reads
/// what the server replied and whether it closed the connection.
class FakeTcpListener final : public TcpListener {
public:
    void setHandlers(Handlers handlers) override { m_handlers = std::move(handlers); }
    bool listen(const std::string& address, std::uint16_t port) override;
    void close() override { m_listening = false; }
    bool isListening() const override { return m_listening; }
    std::uint16_t localPort() const override { return m_listening ? m_port : 0; }
    void send(ConnectionId id, std::string_view bytes) override;
    void closeAfterSend(ConnectionId id) override;
    void sendAndClose(ConnectionId id, std::string_view bytes) override;
    void disconnect(ConnectionId id) override;
    std::size_t connectionCount() const override;

    // The client's side.
    /// Opens a connection; 0 when nothing listens.
    ConnectionId connect();
    /// The client sends bytes.
    void clientSend(ConnectionId id, std::string_view bytes);
    /// The client shuts down its sending side and waits for the reply.
    void clientShutdown(ConnectionId id);
    /// The client resets the connection.
    void clientReset(ConnectionId id);
    /// Everything the server sent on the connection.
    std::string reply(ConnectionId id) const;
    bool isOpen(ConnectionId id) const;

    /// When false, listen() fails as with a port another program holds.
    bool portFree = true;
    /// The most connections held at once (0: no limit); at the cap connect() asks the owner to
    /// make room and gives 0 (the client waits) when it does not.
    std::size_t maxConnections = 0;
    std::string address;
    int listenCalls = 0;

private:
    struct Connection {
        std::string sent;
        bool open = true;
    };
    void closeConnection(ConnectionId id);

    Handlers m_handlers;
    bool m_listening = false;
    std::uint16_t m_port = 0;
    ConnectionId m_lastId = 0;
    std::map<ConnectionId, Connection> m_connections;
};

}  // namespace halvern::platform
