#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>

#include "adservers/BlockCounter.h"
#include "adservers/RequestParser.h"
#include "core/BlockedRings.h"
#include "core/Context.h"
#include "core/StatusLog.h"
#include "forms/Signal.h"

namespace halvern::adservers {

/// The local web server that answers the browser's requests for blocked ad servers with a
/// placeholder (a one-pixel image, a script comment or a short text) and records each blocked ad.
class PlaceholderServer {
public:
    /// A connection must send its whole request head within this time of being accepted; bytes
    /// that trickle in do not extend it.
    static constexpr platform::Millis kHeadTimeout{10000};
    /// At most one banner sound starts in this window, however many ads arrive.
    static constexpr platform::Millis kSoundWindow{250};
    /// The placeholder image is read again after this long, so a replaced file shows soon
    /// without a disk read for every one of thousands of requests.
    static constexpr platform::Millis kImageRefresh{1000};

    /// Listens through the context's TCP listener, logs to the status log, records each
    /// answered ad in the ad-server ring and counts it. autoUpdateCheck is the automatic
    /// ad-data check run after each answered ad: a callback, since the update rebuilds the hosts
    /// file through the blocking that starts and stops this server. Wires cmdOn and cmdOff.
    PlaceholderServer(core::Context& context, core::StatusLog& log, core::BlockedRings& rings,
                      BlockCounter& counter, std::function<void()> autoUpdateCheck,
                      std::uint16_t port = 80);
    ~PlaceholderServer();
    PlaceholderServer(const PlaceholderServer&) = delete;
    PlaceholderServer& operator=(const PlaceholderServer&) = delete;

    /// Starts listening and marks the server on.
    void StartWebServerCrap();
    /// (Re)opens the listening socket on 127.0.0.1.
    void StartListening();
    /// Stops accepting; connections already accepted are still answered.
    void StopWebServer();
    /// Fires after the server was started or stopped (bWebServerOn was just set), so that a
    /// sleeping key poll that keeps the server in step can look again.
    forms::Signal& switched() { return m_switched; }
    /// The host of the most recent answered request.
    const std::string& getLastHost() const { return m_state.strLastHost; }
    /// The whole file; "Blocked by Zorvik " when its folder is missing, "" on other failures.
    std::string LoadFile(const std::string& filename1) const;

private:
    using ConnectionId = platform::TcpListener::ConnectionId;
    struct Pending {
        std::string head;
        std::size_t scanned = 0;
        /// The method and its blank arrived, so the bytes can no longer be refused early.
        bool lineBegun = false;
        platform::Millis acceptedAt{0};
        /// Its place in m_arrivals.
        std::list<ConnectionId>::iterator arrival;
    };
    using PendingMap = std::unordered_map<ConnectionId, Pending>;

    void onAccept(platform::TcpListener::ConnectionId id);
    void onData(platform::TcpListener::ConnectionId id, std::string_view bytes);
    void onEnd(platform::TcpListener::ConnectionId id);
    void onFull();
    /// Drops the connection's unfinished head; the connection stays as it is.
    void forget(PendingMap::iterator it);
    void answer(platform::TcpListener::ConnectionId id, std::string_view request);
    void answerUnknown(platform::TcpListener::ConnectionId id, std::string_view request);
    void record(const ParsedRequest& request);
    const std::string& imageReply();
    void playBannerSound();
    bool soundWanted() const;
    void armSweep();
    void sweepExpired();
    void status(const std::string& text) const;

    platform::TcpListener& m_listener;
    platform::Scheduler& m_scheduler;
    platform::FileSystem& m_files;
    platform::Sound& m_sound;
    forms::MainForm& m_form;
    core::MainState& m_state;
    BlockCounter& m_counter;
    const core::AppPaths& m_paths;
    core::StatusLog& m_log;
    core::BlockedRings& m_rings;
    std::function<void()> m_autoUpdateCheck;
    std::uint16_t m_port;
    forms::Signal m_switched;

    PendingMap m_pending;
    /// The connections of m_pending, oldest accepted first: the first to run out of time and the
    /// first to go when the listener is full.
    std::list<ConnectionId> m_arrivals;
    platform::Scheduler::Id m_sweepTimer = 0;
    platform::Scheduler::Id m_soundTimer = 0;
    bool m_soundPlayed = false;
    platform::Millis m_lastSound{0};

    std::string m_imageReply;
    platform::Millis m_imageReadAt{0};
    bool m_imageRead = false;

    // Replies that never change, built once.
    std::string m_jsReply, m_htmlReply, m_htmReply, m_unknownReply;
};

}  // namespace halvern::adservers
