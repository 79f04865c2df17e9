// What every Browser backend promises, as one typed suite: the scripted browser, and the DevTools
// client driving a headless Chromium through a relay that does the launcher's set-up. A rig
// opens pages by path on a loopback server ("/plain"; "/opener?tag=X" opens "/popup?tag=X" on
// load), tells whether a request of a popup reached the server and whether a page still runs its
// script, and settles: runs the loop until a condition holds (the fake is always settled).

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChromiumRelay.h"
#include "platform/browser/DevToolsBrowser.h"
#include "platform/fake/FakeBrowser.h"
#include "platform/linux/LinuxTestSupport.h"
#include "platform/linux/PollScheduler.h"

namespace halvern::platform::contract {
namespace {

using namespace std::chrono_literals;

const char* const kOpenerPage =
    "<html><body><script>window.onload = () => "
    "window.open('/popup?' + location.search.slice(1));</script></body></html>";

std::string tagOf(const std::string& path) {
    const auto at = path.find("tag=");
    return at == std::string::npos ? "" : path.substr(at + 4);
}

class FakeBrowserRig {
public:
    static constexpr const char* kName = "Fake";

    Browser& browser() { return m_browser; }
    bool start() {
        m_browser.follow(true);
        m_browser.connect();
        return true;
    }
    std::string url(const std::string& path) const { return "http://127.0.0.1:8080" + path; }
    TargetId openPage(const std::string& path) {
        const TargetId page = m_browser.openPage("");
        m_browser.startNavigation(page, url(path));
        m_browser.navigated(page, url(path));
        m_browser.loaded(page);
        if (path.rfind("/opener", 0) == 0) {
            m_tags[m_browser.openPopup(page, false)] = tagOf(path);
        }
        return page;
    }
    bool requested(const std::string& tag) const {
        return std::any_of(m_browser.allowed.begin(), m_browser.allowed.end(),
                           [&](const TargetId& id) { return m_tags.at(id) == tag; });
    }
    bool pageRunsScript(const TargetId& page) {
        const auto pages = m_browser.pages();
        return std::any_of(pages.begin(), pages.end(),
                           [&](const BrowserPage& p) { return p.id == page; });
    }
    void reconnect() {
        m_browser.disconnect();
        m_browser.connect();
    }
    void pass(Millis) {}
    bool settle(const std::function<bool()>& condition) { return condition(); }

private:
    FakeBrowser m_browser;
    std::map<TargetId, std::string> m_tags;
};

class ChromiumRig {
public:
    static constexpr const char* kName = "Chromium";

    ChromiumRig() {
        ::chmod(m_folder.path().c_str(), 0700);
        m_server.page("/plain", "<html><head><title>plain</title></head><body>plain</body></html>");
        m_server.page("/opener", kOpenerPage);
        m_server.page("/popup", "<html><body>popup</body></html>");
    }
    Browser& browser() { return m_browser; }
    bool start() {
        if (::access(chromiumBinary().c_str(), X_OK) != 0) {
            return false;
        }
        m_relay = std::make_unique<ChromiumRelay>(m_loop, m_folder.path(), socketPath());
        m_browser.follow(true);
        return settle([this] { return m_browser.connected(); });
    }
    std::string url(const std::string& path) const { return m_server.url(path); }
    TargetId openPage(const std::string& path) {
        TargetId page;
        m_relay->command(
            "Target.createTarget", {{"url", url(path)}}, "",
            [&](const nlohmann::json& reply) { page = reply["result"].value("targetId", "?"); });
        settle([&] { return !page.empty(); });
        return page;
    }
    bool requested(const std::string& tag) const { return m_server.requested("/popup?tag=" + tag); }
    bool pageRunsScript(const TargetId& page) {
        const SessionRecord* record = m_relay->book().target(page);
        if (record == nullptr) {
            return false;
        }
        std::optional<int> answer;
        m_relay->command("Runtime.evaluate", {{"expression", "6 * 7"}, {"returnByValue", true}},
                         record->sessionId, [&](const nlohmann::json& reply) {
                             answer = reply.contains("result")
                                          ? reply["result"]["result"].value("value", 0)
                                          : -1;
                         });
        settle([&] { return answer.has_value(); });
        return answer == 42;
    }
    void reconnect() {
        m_relay->dropClient();
        settle([this] { return !m_browser.connected(); });
        settle([this] { return m_browser.connected(); });
    }
    void pass(Millis time) { m_loop.wait(time); }
    bool settle(const std::function<bool()>& condition) { return m_loop.runUntil(condition, 20s); }

private:
    std::string socketPath() const { return m_folder / "zorvik-browser.sock"; }

    testing::TempFolder m_folder;
    PollScheduler m_loop;
    LoopbackServer m_server{m_loop};
    DevToolsBrowser m_browser{m_loop, m_folder / "zorvik-browser.sock"};
    std::unique_ptr<ChromiumRelay> m_relay;
};

/// Every event the program would see, one line each.
template <typename Rig>
class BrowserContract : public ::testing::Test {
protected:
    BrowserContract() {
        Browser& b = rig.browser();
        b.onConnected = [this] { lines.push_back("connected"); };
        b.onDisconnected = [this] { lines.push_back("disconnected"); };
        b.onPageOpened = [this](const BrowserPage& p) { opened.push_back(p.id); };
        b.onPageClosed = [this](const TargetId& id, bool byUser) {
            lines.push_back("closed " + id + (byUser ? " user" : " program"));
        };
        b.onPopupHeld = [this](const HeldPopup& p) { held.push_back(p); };
        b.onNavigated = [this](const PageNavigation& n) {
            if (n.topFrame) {
                navigated.emplace_back(n.page, n.url);
            }
        };
        b.onLoaded = [this](const TargetId& id) { loaded.push_back(id); };
    }
    void SetUp() override {
        if (!rig.start()) {
            GTEST_SKIP() << Rig::kName << " cannot run here";
        }
    }
    bool has(const std::vector<TargetId>& ids, const TargetId& id) const {
        return std::find(ids.begin(), ids.end(), id) != ids.end();
    }
    bool hasLine(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    /// Opens an opener page and waits for the popup it asks for.
    HeldPopup popupOf(const TargetId& page) {
        rig.settle([&] {
            return std::any_of(held.begin(), held.end(),
                               [&](const HeldPopup& p) { return p.opener == page; });
        });
        const auto found = std::find_if(held.begin(), held.end(),
                                        [&](const HeldPopup& p) { return p.opener == page; });
        return found == held.end() ? HeldPopup{} : *found;
    }

    Rig rig;
    std::vector<std::string> lines;
    std::vector<TargetId> opened;
    std::vector<TargetId> loaded;
    std::vector<HeldPopup> held;
    std::vector<std::pair<TargetId, std::string>> navigated;
};

using Rigs = ::testing::Types<FakeBrowserRig, ChromiumRig>;
struct RigNames {
    template <typename T>
    static std::string GetName(int) {
        return T::kName;
    }
};
TYPED_TEST_SUITE(BrowserContract, Rigs, RigNames);

TYPED_TEST(BrowserContract, PagesArriveWithTheirAddressesAndTheirOwnEvents) {
    EXPECT_TRUE(this->rig.browser().connected());
    const TargetId first = this->rig.openPage("/plain");
    const TargetId second = this->rig.openPage("/plain?second");
    const std::string url = this->rig.url("/plain?second");
    ASSERT_TRUE(this->rig.settle([&] {
        return this->has(this->loaded, first) && this->has(this->loaded, second) &&
               this->rig.browser().locationUrl(second) == url;
    }));
    EXPECT_TRUE(this->has(this->opened, first));
    EXPECT_TRUE(this->has(this->opened, second));
    // Each page's events name that page.
    EXPECT_NE(
        std::find(this->navigated.begin(), this->navigated.end(), std::make_pair(second, url)),
        this->navigated.end());
    EXPECT_EQ(this->rig.browser().locationUrl(first), this->rig.url("/plain"));
    const auto pages = this->rig.browser().pages();
    EXPECT_TRUE(std::any_of(pages.begin(), pages.end(), [&](const BrowserPage& p) {
        return p.id == second && p.url == url && !p.browserUi;
    }));
}

TYPED_TEST(BrowserContract, APopupOnLoadIsHeldBeforeItsRequestAndLoadsOnceAllowed) {
    const TargetId page = this->rig.openPage("/opener?tag=allowed");
    const HeldPopup popup = this->popupOf(page);
    ASSERT_FALSE(popup.id.empty());
    EXPECT_EQ(popup.opener, page);
    EXPECT_EQ(popup.userGesture, std::optional<bool>(false));
    const auto pages = this->rig.browser().pages();
    EXPECT_TRUE(std::none_of(pages.begin(), pages.end(),
                             [&](const BrowserPage& p) { return p.id == popup.id; }));
    this->rig.pass(300ms);
    EXPECT_FALSE(this->rig.requested("allowed"));
    this->rig.browser().allow(popup.id);
    EXPECT_TRUE(this->rig.settle([&] { return this->rig.requested("allowed"); }));
    EXPECT_TRUE(this->rig.pageRunsScript(page));
}

TYPED_TEST(BrowserContract, ACancelledPopupClosesWithoutARequestAndItsOpenerRunsOn) {
    const TargetId page = this->rig.openPage("/opener?tag=cancelled");
    const HeldPopup popup = this->popupOf(page);
    ASSERT_FALSE(popup.id.empty());
    this->rig.browser().cancel(popup.id);
    EXPECT_TRUE(this->rig.settle([&] { return this->hasLine("closed " + popup.id + " program"); }));
    this->rig.pass(1000ms);
    EXPECT_FALSE(this->rig.requested("cancelled"));
    EXPECT_FALSE(this->hasLine("closed " + popup.id + " user"));
    EXPECT_TRUE(this->rig.pageRunsScript(page));
    // The cancelled popup never becomes a page.
    const auto pages = this->rig.browser().pages();
    EXPECT_TRUE(std::none_of(pages.begin(), pages.end(),
                             [&](const BrowserPage& p) { return p.id == popup.id; }));
}

TYPED_TEST(BrowserContract, TheStateIsRebuiltAfterAReconnection) {
    const TargetId page = this->rig.openPage("/plain");
    ASSERT_TRUE(this->rig.settle([&] { return this->has(this->loaded, page); }));
    this->opened.clear();
    this->rig.reconnect();
    EXPECT_TRUE(this->hasLine("disconnected"));
    ASSERT_TRUE(this->rig.browser().connected());
    EXPECT_TRUE(this->has(this->opened, page));
    EXPECT_EQ(this->rig.browser().locationUrl(page), this->rig.url("/plain"));
    // Popups are held on the new connection as on the first.
    const TargetId opener = this->rig.openPage("/opener?tag=after");
    const HeldPopup popup = this->popupOf(opener);
    ASSERT_FALSE(popup.id.empty());
    this->rig.browser().cancel(popup.id);
    this->rig.pass(500ms);
    EXPECT_FALSE(this->rig.requested("after"));
}

}  // namespace
}  // namespace halvern::platform::contract
