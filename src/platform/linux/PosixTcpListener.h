#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "platform/Scheduler.h"
#include "platform/TcpListener.h"

namespace halvern::platform {

/// Non-blocking POSIX sockets on the event loop. Accepts until the backlog is empty, up to a
/// connection cap, where the owner is asked to make room for each waiting connection. The
/// connections share one epoll set, which the loop watches as a single descriptor, so thousands
/// of them cost the loop nothing per pass and a connection costs no loop watch of its own. Keeps
/// what a socket cannot take yet and sends it when it can; a last reply leaves with the
/// connection's end in one packet, and the connection lingers only when the client sent more than
/// was read.
class PosixTcpListener final : public TcpListener {
public:
    /// The cap is lowered to what the process's descriptor limit allows.
    explicit PosixTcpListener(Scheduler& scheduler, std::size_t maxConnections = 4096);
    ~PosixTcpListener() override;
    PosixTcpListener(const PosixTcpListener&) = delete;
    PosixTcpListener& operator=(const PosixTcpListener&) = delete;

    /// When on (the default), the kernel hands over a connection only once its first bytes
    /// arrived, so the request is read in the same wake-up as the accept. Takes effect at listen().
    void setAcceptOnData(bool on) { m_acceptOnData = on; }

    void setHandlers(Handlers handlers) override { m_handlers = std::move(handlers); }
    bool listen(const std::string& address, std::uint16_t port) override;
    /// Listens on a TCP socket someone else bound and put in the listening state (zorvik-helper
    /// binds port 80 for a program that may not). Takes the descriptor over, closing it when it
    /// is no listening TCP socket; false then. Listening again first closes the old socket.
    bool adopt(int fd);
    void close() override;
    bool isListening() const override { return m_listenFd >= 0; }
    std::uint16_t localPort() const override { return m_port; }
    void send(ConnectionId id, std::string_view bytes) override;
    void closeAfterSend(ConnectionId id) override;
    void sendAndClose(ConnectionId id, std::string_view bytes) override;
    void disconnect(ConnectionId id) override;
    std::size_t connectionCount() const override { return m_count; }

    /// How long a closing connection may keep sending us bytes before it is cut off.
    static constexpr Millis kLinger{2000};
    /// How long accepting pauses when the process or system runs out of descriptors.
    static constexpr Millis kDescriptorBackoff{100};

private:
    /// Watches a listening socket that is now ours.
    void startAccepting(int fd, std::uint16_t port);

    struct Slot {
        ConnectionId id = 0;
        /// The events the epoll set waits for; 0 while the descriptor is not in the set.
        int events = 0;
        std::string out;
        std::size_t outSent = 0;
        bool closeWhenSent = false;
        bool readEnded = false;
        bool moreToRead = false;
        bool lingering = false;
        Scheduler::Id lingerTimer = 0;
    };

    void onListenReady();
    bool acceptOne();
    /// At the cap: true when the owner made room for a connection waiting in the backlog.
    bool makeRoom();
    void pauseAccepting(bool withBackoff);
    void resumeAccepting();
    Slot* find(ConnectionId id);
    void onConnectionsReady();
    void onReady(ConnectionId id, int ready);
    void readFrom(ConnectionId id);
    void writeTo(ConnectionId id);
    /// Sends what the socket takes of the bytes; false when the connection failed and closed.
    bool sendNow(ConnectionId id, Slot& slot, std::string_view& bytes);
    void finishReply(ConnectionId id);
    void drainLinger(ConnectionId id);
    void setEvents(int fd, Slot& slot, int events);
    void closeConnection(ConnectionId id);

    Scheduler& m_scheduler;
    std::size_t m_maxConnections;
    Handlers m_handlers;
    int m_listenFd = -1;
    std::uint16_t m_port = 0;
    Scheduler::Id m_listenWatch = 0;
    int m_epollFd = -1;
    Scheduler::Id m_epollWatch = 0;
    bool m_acceptPaused = false;
    bool m_acceptOnData = true;
    Scheduler::Id m_backoffTimer = 0;
    std::size_t m_count = 0;
    std::uint32_t m_generation = 0;
    // Indexed by descriptor; an id carries its descriptor and a generation, so an id of a closed
    // connection never reaches the next connection on the same descriptor. A deque, so a slot
    // stays where it is when a handler that runs the loop lets more connections in.
    std::deque<Slot> m_slots;
};

}  // namespace halvern::platform
