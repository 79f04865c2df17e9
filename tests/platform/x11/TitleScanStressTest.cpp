// The title scanner on the X11 desktop under load: many windows opened one after another, some
// titled before they are mapped and some retitled after, while the event loop is kept busy. Each
// window is a program of its own, so a window often gets the id of the one closed just before it.
// Every window with a blocked title must be asked to close, in time.

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "X11TestSupport.h"
#include "adservers/BlockCounter.h"
#include "adservers/PlaceholderServer.h"
#include "core/BlockedRings.h"
#include "core/Settings.h"
#include "core/StatusLog.h"
#include "platform/linux/PollScheduler.h"
#include "platform/x11/XcbDesktop.h"
#include "popups/BlockedPopupReaction.h"
#include "popups/UserIntent.h"
#include "support/FakePlatform.h"
#include "titles/TitleBlocking.h"
#include "ui/TrayIcon.h"

namespace halvern::platform {
namespace {

using namespace std::chrono_literals;
using testing::TestWindow;
using testing::XServer;

enum class Manager { Openbox, None };

std::string managerName(const ::testing::TestParamInfo<Manager>& info) {
    return info.param == Manager::Openbox ? "Openbox" : "NoWindowManager";
}

/// Keeps the loop busy most of the time, so that the display's events pile up and arrive in
/// batches, as on a loaded machine.
class BusyLoop {
public:
    explicit BusyLoop(Scheduler& loop) : m_loop(loop) { schedule(); }
    BusyLoop(const BusyLoop&) = delete;
    BusyLoop& operator=(const BusyLoop&) = delete;
    ~BusyLoop() { m_loop.cancel(m_call); }

private:
    void schedule() {
        m_call = m_loop.callAfter(5ms, [this] {
            const auto end = std::chrono::steady_clock::now() + 25ms;
            while (std::chrono::steady_clock::now() < end) {
            }
            schedule();
        });
    }
    Scheduler& m_loop;
    Scheduler::Id m_call = 0;
};

class TitleScanStressTest : public ::testing::TestWithParam<Manager> {
protected:
    void SetUp() override {
        std::setlocale(LC_ALL, "C.UTF-8");
        server = std::make_unique<XServer>(GetParam() == Manager::Openbox);
        desktop = std::make_unique<XcbDesktop>(loop, server->name());
        ASSERT_TRUE(desktop->available());
        const bool managed = GetParam() == Manager::Openbox;
        ASSERT_TRUE(testing::runUntil(
            loop, [&] { return desktop->windowManagerPresent() == managed; }, 5s));
        platform = std::make_unique<Platform>(
            Platform{loop,          fake.files,     fake.dialogs,   fake.userStore, fake.launcher,
                     fake.process,  fake.resolver,  fake.instance,  fake.tray,      fake.sound,
                     fake.listener, *desktop,       fake.processes, fake.http,      fake.hasher,
                     fake.scratch,  fake.autostart, fake.registry,  fake.browser,   fake.input});
        context = std::make_unique<core::Context>(*platform, state, form, stats, paths);
        log = std::make_unique<core::StatusLog>(form, loop);
        settings = std::make_unique<core::Settings>(*context, core::Settings::Callbacks{});
        tray = std::make_unique<ui::TrayIcon>(*context, *settings);
        counter = std::make_unique<adservers::BlockCounter>(form, state, stats);
        server =
            std::make_unique<adservers::PlaceholderServer>(*context, *log, rings, *counter, [] {});
        intent = std::make_unique<popups::UserIntent>(*context, *server);
        reaction =
            std::make_unique<popups::BlockedPopupReaction>(*context, *tray, *counter, *intent);
        titles = std::make_unique<titles::TitleBlocking>(*context, *log, rings, *tray, *reaction);
        fake.files.put(paths.getUserTitleIniFileName(),
                       "[DomainCount]\r\nN=1\r\n[Domains]\r\nD0=Casino\r\n");
        titles->setPopupListArray();
        form.chkIEPops.setChecked(true);
        titles->installShellHook();
    }

    void TearDown() override {
        if (titles) {
            titles->removeShellHook();
        }
    }

    /// Runs the loop until the window reports a close request, at most `limit`.
    bool askedToClose(TestWindow& window, std::chrono::milliseconds limit) {
        bool asked = false;
        return testing::runUntil(
            loop, [&] { return asked = asked || window.nextLine(5ms) == "close request"; }, limit);
    }

    halvern::testing::FakePlatform fake;
    PollScheduler loop;
    std::unique_ptr<XServer> server;
    std::unique_ptr<XcbDesktop> desktop;
    std::unique_ptr<Platform> platform;
    forms::MainForm form;
    forms::StatsForm stats;
    core::MainState state;
    core::AppPaths paths{"/opt/halvern", "/etc/hosts"};
    std::unique_ptr<core::Context> context;
    std::unique_ptr<core::StatusLog> log;
    core::BlockedRings rings{fake.dialogs};
    std::unique_ptr<core::Settings> settings;
    std::unique_ptr<ui::TrayIcon> tray;
    std::unique_ptr<adservers::BlockCounter> counter;
    std::unique_ptr<adservers::PlaceholderServer> server;
    std::unique_ptr<popups::UserIntent> intent;
    std::unique_ptr<popups::BlockedPopupReaction> reaction;
    std::unique_ptr<titles::TitleBlocking> titles;
};

/// A blocked window of the load: titled before mapping, or retitled a little after it, sooner or
/// later than its first reading.
struct Blocked {
    explicit Blocked(int i) {
        if (i % 2 == 0) {
            name = "Online Casino " + std::to_string(i);
            options = {"--title", name};
        } else {
            name = "Harmless page " + std::to_string(i) + " retitled";
            options = {"--title",         "Harmless page " + std::to_string(i),
                       "--retitle",       "Casino night " + std::to_string(i),
                       "--retitle-after", std::to_string(20 + 60 * (i % 5))};
        }
        options.insert(options.end(), {"--exit-after", "20000"});
    }
    std::string name;
    std::vector<std::string> options;
};

/// Windows that stay, so the list is never short; their titles match nothing.
std::vector<std::unique_ptr<TestWindow>> bystanders() {
    std::vector<std::unique_ptr<TestWindow>> windows;
    for (int i = 0; i < 3; ++i) {
        windows.push_back(std::make_unique<TestWindow>(
            std::vector<std::string>{"--title", "Bystander " + std::to_string(i)}));
    }
    return windows;
}

void expectUntouched(const std::vector<std::unique_ptr<TestWindow>>& windows) {
    for (const auto& window : windows) {
        EXPECT_EQ(window->nextLine(5ms), "") << "a bystander was asked to close";
    }
}

TEST_P(TitleScanStressTest, EveryBlockedWindowOpenedAfterTheOneBeforeIsAskedToClose) {
    const auto stay = bystanders();
    const BusyLoop busy(loop);
    constexpr int kWindows = 24;
    std::vector<std::string> missed;
    std::set<std::uint64_t> ids;
    for (int i = 0; i < kWindows; ++i) {
        const Blocked blocked(i);
        // The program is not running the loop while the window comes up: its events, and those
        // of the window closed before it, wait and arrive together.
        TestWindow window(blocked.options);
        ids.insert(window.id());
        if (!askedToClose(window, 5s)) {
            missed.push_back(blocked.name);
            if (missed.size() == 3) {
                break;  // enough to tell; the rest would only make a failing run long
            }
        }
        // Gone for the display before the next one starts, which then often gets its id.
        window.kill();
    }
    EXPECT_TRUE(missed.empty()) << missed.size() << " blocked windows were not asked to close"
                                << ", first: " << missed.front();
    // The load this test is about: ids used again by the next window.
    EXPECT_LT(ids.size(), static_cast<std::size_t>(kWindows));
    expectUntouched(stay);
}

TEST_P(TitleScanStressTest, EveryBlockedWindowOfABurstIsAskedToClose) {
    const auto stay = bystanders();
    const BusyLoop busy(loop);
    constexpr int kRounds = 4;
    constexpr std::size_t kBurst = 6;
    std::vector<std::string> missed;
    for (int round = 0; round < kRounds && missed.empty(); ++round) {
        // All mapped before the loop runs again; the next round's windows get these ids again.
        std::vector<std::unique_ptr<TestWindow>> burst;
        for (std::size_t i = 0; i < kBurst; ++i) {
            burst.push_back(
                std::make_unique<TestWindow>(Blocked(round + static_cast<int>(i)).options));
        }
        std::vector<bool> asked(kBurst, false);
        testing::runUntil(
            loop,
            [&] {
                for (std::size_t i = 0; i < kBurst; ++i) {
                    asked[i] = asked[i] || burst[i]->nextLine(2ms) == "close request";
                }
                return std::ranges::all_of(asked, [](bool a) { return a; });
            },
            8s);
        for (std::size_t i = 0; i < kBurst; ++i) {
            if (!asked[i]) {
                missed.push_back(Blocked(round + static_cast<int>(i)).name);
            }
            burst[i]->kill();
        }
    }
    EXPECT_TRUE(missed.empty()) << missed.size() << " blocked windows were not asked to close"
                                << ", first: " << missed.front();
    expectUntouched(stay);
}

INSTANTIATE_TEST_SUITE_P(X11, TitleScanStressTest,
                         ::testing::Values(Manager::Openbox, Manager::None), managerName);

}  // namespace
}  // namespace halvern::platform
