#pragma once

#include <string>

#include "platform/TcpListener.h"
#include "platform/linux/HelperConnection.h"
#include "platform/linux/PosixTcpListener.h"

namespace halvern::platform {

/// The listener of a program that may not bind port 80 itself: listening on 127.0.0.1:80 adopts
/// the socket zorvik-helper binds and hands over; every other address and port, and everything
/// after the listen, is the wrapped listener's own.
class HelperTcpListener final : public TcpListener {
public:
    HelperTcpListener(PosixTcpListener& listener, HelperConnection& helper);

    void setHandlers(Handlers handlers) override { m_listener.setHandlers(std::move(handlers)); }
    /// False, as for a port another program holds, when the helper cannot hand port 80 over;
    /// lastError() then gives its reason.
    bool listen(const std::string& address, std::uint16_t port) override;
    void close() override { m_listener.close(); }
    bool isListening() const override { return m_listener.isListening(); }
    std::uint16_t localPort() const override { return m_listener.localPort(); }
    void send(ConnectionId id, std::string_view bytes) override { m_listener.send(id, bytes); }
    void closeAfterSend(ConnectionId id) override { m_listener.closeAfterSend(id); }
    void sendAndClose(ConnectionId id, std::string_view bytes) override {
        m_listener.sendAndClose(id, bytes);
    }
    void disconnect(ConnectionId id) override { m_listener.disconnect(id); }
    std::size_t connectionCount() const override { return m_listener.connectionCount(); }

    /// Why the helper last refused port 80 ("Address already in use"); empty before that.
    const std::string& lastError() const { return m_lastError; }

private:
    PosixTcpListener& m_listener;
    HelperConnection& m_helper;
    std::string m_lastError;
};

}  // namespace halvern::platform
