#include "platform/fake/FakeTcpListener.h"

namespace halvern::platform {

bool FakeTcpListener::listen(const std::string& addr, std::uint16_t port) {
    ++listenCalls;
    address = addr;
    m_listening = portFree;
    m_port = port == 0 ? 49152 : port;
    return m_listening;
}

void FakeTcpListener::send(ConnectionId id, std::string_view bytes) {
    if (auto it = m_connections.find(id); it != m_connections.end() && it->second.open) {
        it->second.sent.append(bytes);
    }
}

void FakeTcpListener::closeAfterSend(ConnectionId id) {
    closeConnection(id);
}

void FakeTcpListener::sendAndClose(ConnectionId id, std::string_view bytes) {
    send(id, bytes);
    closeConnection(id);
}

void FakeTcpListener::disconnect(ConnectionId id) {
    closeConnection(id);
}

std::size_t FakeTcpListener::connectionCount() const {
    std::size_t n = 0;
    for (const auto& [id, c] : m_connections) {
        n += c.open ? 1 : 0;
    }
    return n;
}

TcpListener::ConnectionId FakeTcpListener::connect() {
    if (!m_listening) {
        return 0;
    }
    if (maxConnections != 0 && connectionCount() >= maxConnections) {
        if (m_handlers.onFull) {
            m_handlers.onFull();
        }
        if (connectionCount() >= maxConnections) {
            return 0;
        }
    }
    const ConnectionId id = ++m_lastId;
    m_connections[id] = Connection{};
    if (m_handlers.onAccept) {
        m_handlers.onAccept(id);
    }
    return id;
}

void FakeTcpListener::clientSend(ConnectionId id, std::string_view bytes) {
    if (isOpen(id) && m_handlers.onData) {
        m_handlers.onData(id, bytes);
    }
}

void FakeTcpListener::clientShutdown(ConnectionId id) {
    if (!isOpen(id)) {
        return;
    }
    if (m_handlers.onEnd) {
        m_handlers.onEnd(id);
    } else {
        closeConnection(id);
    }
}

void FakeTcpListener::clientReset(ConnectionId id) {
    closeConnection(id);
}

std::string FakeTcpListener::reply(ConnectionId id) const {
    auto it = m_connections.find(id);
    return it == m_connections.end() ? std::string() : it->second.sent;
}

bool FakeTcpListener::isOpen(ConnectionId id) const {
    auto it = m_connections.find(id);
    return it != m_connections.end() && it->second.open;
}

void FakeTcpListener::closeConnection(ConnectionId id) {
    auto it = m_connections.find(id);
    if (it == m_connections.end() || !it->second.open) {
        return;
    }
    it->second.open = false;
    if (m_handlers.onClosed) {
        m_handlers.onClosed(id);
    }
}

}  // namespace halvern::platform
