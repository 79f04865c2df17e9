#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/Scheduler.h"
#include "platform/browser/PopupCancels.h"
#include "platform/browser/TargetBook.h"

namespace halvern::platform {

/// The launcher's half of the browser protocol, with no descriptors of its own: it sets the
/// browser up and keeps it set up, routes Zorvik's commands to the browser and the replies and
/// events back, greets a newly connected Zorvik with the sessions attached so far, and decides
/// held popups itself while no Zorvik is connected (a popup the browser says had no user gesture
/// is cancelled, every other one runs). It cancels in the same safe order as Zorvik does
/// (PopupCancels), and finishes the cancels of a Zorvik that went away. BrowserRelay carries its
/// messages and calls tick() when nextDeadline() comes; a TargetBook keeps the sessions.
class RelayRouter {
public:
    /// Zorvik's command ids run from 1 to this; the launcher's own are negative (the browser
    /// takes only ids that fit 32 signed bits), so the two never meet.
    static constexpr std::int64_t kMaxClientId = 2147483647;

    RelayRouter();

    /// Sends the browser-wide set-up: auto-attach with every new target paused, so a popup is
    /// held before its first request.
    void start();
    /// One message from the browser.
    void fromBrowser(std::string_view message);
    /// One message from the connected Zorvik.
    void fromClient(std::string_view message);
    /// A Zorvik connected (replacing any earlier one): it is greeted with the replay.
    void clientConnected();
    /// The Zorvik went away: the popups it held are decided here at once.
    void clientDisconnected();

    /// Closes the cancelled popups whose grace has run out.
    void tick();
    /// When tick() next has something to do, on `clock`.
    std::optional<Millis> nextDeadline() const { return m_cancels.nextDeadline(); }

    bool hasClient() const { return m_client != Client::None; }
    const TargetBook& book() const { return m_book; }

    /// Where messages go; both are set before start().
    std::function<void(std::string json)> toBrowser;
    std::function<void(std::string json)> toClient;
    /// A line for the launcher's log (a message dropped, a popup decided).
    std::function<void(const std::string&)> log;
    /// The time, on any steady clock (a monotonic one unless replaced).
    std::function<Millis()> clock;

private:
    enum class Client { None, AwaitingGreeting, Greeted };

    std::int64_t command(const std::string& method,
                         nlohmann::json params = nlohmann::json::object(),
                         const std::string& sessionId = {});
    void reply(std::int64_t id, std::string_view message);
    void setUp(const SessionRecord& session);
    void requestPaused(const std::string& sessionId, const std::string& requestId);
    /// Decides a held popup while no Zorvik is connected.
    void decide(const HeldPopup& popup);
    /// Notes the requests Zorvik answers for the popups it cancels.
    void noteAnswer(const nlohmann::json& command);
    /// Finishes the cancels a Zorvik that went away had begun.
    void takeOverCancels();
    bool refuseClientCommand(std::int64_t id, const std::string& method);
    void greet();
    void sendClientError(std::int64_t id, const std::string& text);
    void say(const std::string& line) const;

    TargetBook m_book;
    Client m_client = Client::None;
    /// Ids of the connected Zorvik's commands still waiting for their replies.
    std::set<std::int64_t> m_pending;
    /// The popups the launcher itself is cancelling: it answers their requests.
    PopupCancels m_cancels;
    /// Per popup Zorvik is cancelling, the paused requests it has not answered yet.
    std::map<std::string, std::vector<std::string>> m_unanswered;
    std::int64_t m_nextId = -1;
    std::int64_t m_versionId = 0;
    std::optional<std::string> m_product;
};

}  // namespace halvern::platform
