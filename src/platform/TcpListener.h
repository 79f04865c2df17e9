#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace halvern::platform {

/// A listening TCP socket and the connections it accepted, driven by the event loop. Every
/// accepted connection gets an id that is never reused; events arrive one at a time on the loop.
class TcpListener {
public:
    using ConnectionId = std::uint64_t;

    /// What the owner hears about its connections. Every accepted connection raises onAccept
    /// once and onClosed once, whoever closes it; the handlers may call back into the listener.
    struct Handlers {
        std::function<void(ConnectionId)> onAccept;
        /// Bytes that arrived, in order; only the new ones.
        std::function<void(ConnectionId, std::string_view)> onData;
        /// The peer sent everything it will send; it may still be reading. Without a handler
        /// the connection closes.
        std::function<void(ConnectionId)> onEnd;
        std::function<void(ConnectionId)> onClosed;
        /// The listener holds as many connections as it may and another one is waiting. The
        /// owner may disconnect one to make room for it; if none closes, or without a handler,
        /// the new connection waits until one does.
        std::function<void()> onFull;
    };

    virtual ~TcpListener() = default;

    virtual void setHandlers(Handlers handlers) = 0;

    /// Listens on the address ("127.0.0.1") and port (0 picks a free one); false when the port
    /// cannot be had. Listening again first closes the old socket.
    virtual bool listen(const std::string& address, std::uint16_t port) = 0;
    /// Stops accepting; connections already accepted carry on.
    virtual void close() = 0;
    virtual bool isListening() const = 0;
    /// The port listened on, or 0.
    virtual std::uint16_t localPort() const = 0;

    /// Queues bytes for the connection; what the socket cannot take now is sent when it can.
    virtual void send(ConnectionId id, std::string_view bytes) = 0;
    /// Closes the connection once everything queued has been sent.
    virtual void closeAfterSend(ConnectionId id) = 0;
    /// A last reply: send() and closeAfterSend() together, which lets a backend put the bytes
    /// and the end of the connection into one packet.
    virtual void sendAndClose(ConnectionId id, std::string_view bytes) {
        send(id, bytes);
        closeAfterSend(id);
    }
    /// Closes the connection now, dropping unsent bytes.
    virtual void disconnect(ConnectionId id) = 0;
    /// Connections open now.
    virtual std::size_t connectionCount() const = 0;
};

}  // namespace halvern::platform
