#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "platform/browser/DevToolsFraming.h"

namespace halvern::platform {

/// One end of a DevTools message stream on non-blocking descriptors: the browser's pipe (two
/// descriptors) or a relay socket (one descriptor for both ways). Reading never blocks and
/// writing only queues, so a slow reader at either end never stalls the other; the owner's poll
/// loop calls readAvailable() and flush() when the descriptors are ready.
class MessageChannel {
public:
    /// Takes ownership of both descriptors (the same one twice for a socket) and makes them
    /// non-blocking.
    MessageChannel(int readFd, int writeFd, std::size_t cap = DevToolsMessageReader::kDefaultCap);
    MessageChannel(const MessageChannel&) = delete;
    MessageChannel& operator=(const MessageChannel&) = delete;
    ~MessageChannel();

    /// Queues one message (its JSON text; the NUL is added here).
    void send(std::string_view json);
    /// Reads whatever is there and hands every complete message to onMessage; false once the
    /// other end has closed or the descriptor failed.
    bool readAvailable();
    /// Writes as much of the queue as the descriptor takes now; false when the other end is gone.
    bool flush();
    /// Stops writing: closes the write side (the browser exits when its pipe closes).
    void closeWrite();

    int readFd() const { return m_readFd; }
    int writeFd() const { return m_writeFd; }
    /// Bytes queued and not yet written.
    std::size_t queued() const { return m_queue.size() - m_sent; }
    bool wantsWrite() const { return m_writeFd >= 0 && queued() > 0; }

    std::function<void(std::string_view message)> onMessage;
    std::function<void(std::size_t droppedBytes)> onOversize;

private:
    int m_readFd;
    int m_writeFd;
    DevToolsMessageReader m_reader;
    std::string m_queue;
    /// Bytes at the front of m_queue already written.
    std::size_t m_sent = 0;
};

}  // namespace halvern::platform
