// Pressing a button of another program's box through the accessibility bus: a Qt message box on
// a private Xvfb display with a private session bus.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <clocale>
#include <memory>

#include "X11TestSupport.h"
#include "platform/linux/PollScheduler.h"
#include "platform/x11/AtspiButtons.h"
#include "platform/x11/XcbDesktop.h"

namespace halvern::platform {
namespace {

using namespace std::chrono_literals;
using testing::LineReader;
using testing::XServer;

TEST(AtspiButtons, ComparesCaptionsWithoutMnemonicMarks) {
    EXPECT_EQ(AtspiButtons::withoutMnemonics("&No"), "No");
    EXPECT_EQ(AtspiButtons::withoutMnemonics("_No"), "No");
    EXPECT_EQ(AtspiButtons::withoutMnemonics("Save &As_"), "Save As");
    EXPECT_EQ(AtspiButtons::withoutMnemonics(""), "");
}

TEST(AtspiButtons, AnswersFalseWithoutAnAccessibilityBus) {
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ::unsetenv("AT_SPI_BUS_ADDRESS");
    ::setenv("XDG_RUNTIME_DIR", "/nonexistent-halvern", 1);
    AtspiButtons buttons(500ms);
    EXPECT_FALSE(buttons.press(::getpid(), "Error", "&No"));
    EXPECT_FALSE(buttons.press(::getpid(), "Error", "&No"));
}

/// A private session bus on the test's display; the accessibility bus is started from it on
/// demand, as in a desktop session.
class SessionBus {
public:
    explicit SessionBus(const std::string& folder) {
        ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
        int out = -1;
        m_pid = testing::spawn(
            {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"}, &out);
        LineReader reader(out);
        m_address = reader.next(5s);
        if (!m_address.empty()) {
            ::setenv("DBUS_SESSION_BUS_ADDRESS", m_address.c_str(), 1);
        }
    }
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;
    ~SessionBus() {
        // The accessibility bus launcher and registry leave with the session bus.
        testing::stop(m_pid);
    }
    bool running() const { return !m_address.empty(); }

private:
    pid_t m_pid = 0;
    std::string m_address;
};

class AtspiDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (::access("/usr/libexec/at-spi-bus-launcher", X_OK) != 0) {
            GTEST_SKIP() << "at-spi2-core is not installed: no accessibility bus to press through";
        }
        std::setlocale(LC_ALL, "C.UTF-8");
        server = std::make_unique<XServer>(false);
        char folder[] = "/tmp/halvern-atspi-XXXXXX";
        ASSERT_NE(::mkdtemp(folder), nullptr);
        runtime = folder;
        bus = std::make_unique<SessionBus>(runtime);
        if (!bus->running()) {
            GTEST_SKIP() << "dbus-daemon did not start a session bus";
        }
        int out = -1;
        dialogPid = testing::spawn({ZORVIK_TESTDIALOG}, &out,
                                   {"QT_ACCESSIBILITY=1", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1",
                                    "QT_QPA_PLATFORM=xcb", "NO_AT_BRIDGE=0"});
        dialog.reset(out);
        const std::string line = dialog.next(15s);
        ASSERT_EQ(line.rfind("window 0x", 0), 0u) << "the dialog did not start: " << line;
        window = std::strtoull(line.c_str() + 7, nullptr, 16);
        desktop = std::make_unique<XcbDesktop>(scheduler, server->name());
        ASSERT_TRUE(testing::runUntil(
            scheduler,
            [&] {
                for (const WindowInfo& info : desktop->windows()) {
                    if (info.id == window && info.title == "Error") {
                        return true;
                    }
                }
                return false;
            },
            5s));
    }

    void TearDown() override {
        testing::stop(dialogPid);
        desktop.reset();
        bus.reset();
        server.reset();
        if (!runtime.empty()) {
            std::system(("rm -rf '" + runtime + "'").c_str());
        }
    }

    /// The program joins the accessibility bus a moment after its box shows: try for a while.
    bool pressWithin(const std::string& caption, std::chrono::milliseconds limit) {
        return testing::runUntil(
            scheduler,
            [&] {
                if (desktop->pressButton(window, caption)) {
                    return true;
                }
                scheduler.wait(200ms);
                return false;
            },
            limit);
    }

    PollScheduler scheduler;
    std::unique_ptr<XServer> server;
    std::string runtime;
    std::unique_ptr<SessionBus> bus;
    pid_t dialogPid = 0;
    LineReader dialog;
    WindowId window = 0;
    std::unique_ptr<XcbDesktop> desktop;
};

// One case only: libatspi connects once per process, and each case has a bus of its own.
TEST_F(AtspiDialogTest, PressesTheNamedButtonOfAQtMessageBoxOnly) {
    if (!pressWithin("Cancel", 3s) && !pressWithin("_No", 15s)) {
        GTEST_SKIP() << "the Qt box never showed up on the accessibility bus";
    }
    EXPECT_EQ(dialog.next(5s), "answered No") << "only the named button is pressed";
    EXPECT_FALSE(desktop->pressButton(0x1234, "&No")) << "an unknown window";
}

}  // namespace
}  // namespace halvern::platform
