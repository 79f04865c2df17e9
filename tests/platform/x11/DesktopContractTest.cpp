// The same cases against the fake desktop and the X11 one (openbox on a private Xvfb display), so
// the fake the title scanner is tested on cannot drift from what the real desktop does.

#include <gtest/gtest.h>

#include <clocale>
#include <map>
#include <memory>
#include <optional>

#include "X11TestSupport.h"
#include "platform/fake/FakeDesktop.h"
#include "platform/linux/PollScheduler.h"
#include "platform/x11/XcbDesktop.h"

namespace halvern::platform {
namespace {

using namespace std::chrono_literals;

/// What a case asks of a window.
struct WindowShape {
    std::string title{};
    std::string className = "ContractClass";
    std::string role{};
    bool takesClose = true;
};

/// The fake: windows appear at once, and a polite close removes them.
class FakeSide {
public:
    Desktop& desktop() { return m_desktop; }
    WindowId open(const WindowShape& shape) {
        WindowInfo info;
        info.title = shape.title;
        info.className = shape.className;
        info.role = shape.role;
        info.pid = 4321;
        info.localMachine = true;
        info.visible = true;
        const WindowId id = m_desktop.open(info);
        if (!shape.takesClose) {
            m_desktop.refusesClose.push_back(id);
        }
        return id;
    }
    void kill(WindowId id) { m_desktop.close(id); }
    bool settle(const std::function<bool()>& done) { return done(); }

private:
    FakeDesktop m_desktop;
};

/// The real desktop with openbox; each window is a zorvik_testwindow process.
class X11Side {
public:
    X11Side() : m_desktop(m_loop, m_server.name()) {}
    Desktop& desktop() { return m_desktop; }
    WindowId open(const WindowShape& shape) {
        std::vector<std::string> options = {"--title", shape.title, "--class", shape.className};
        if (!shape.role.empty()) {
            options.insert(options.end(), {"--role", shape.role});
        }
        if (!shape.takesClose) {
            options.emplace_back("--no-delete");
        }
        auto window = std::make_unique<testing::TestWindow>(options);
        const WindowId id = window->id();
        m_windows[id] = std::move(window);
        settle([&] {
            for (const WindowInfo& info : m_desktop.windows()) {
                if (info.id == id && info.visible) {
                    return true;
                }
            }
            return false;
        });
        return id;
    }
    void kill(WindowId id) { m_windows.at(id)->kill(); }
    bool settle(const std::function<bool()>& done) { return testing::runUntil(m_loop, done, 5s); }

private:
    /// Xlib decodes legacy titles in the locale's terms, as in the program, which sets it.
    struct Utf8Locale {
        Utf8Locale() { std::setlocale(LC_ALL, "C.UTF-8"); }
    } m_locale;
    PollScheduler m_loop;
    testing::XServer m_server{true};
    XcbDesktop m_desktop;
    std::map<WindowId, std::unique_ptr<testing::TestWindow>> m_windows;
};

template <typename Side>
class DesktopContract : public ::testing::Test {
protected:
    std::optional<WindowInfo> find(WindowId id) {
        for (const WindowInfo& info : side.desktop().windows()) {
            if (info.id == id) {
                return info;
            }
        }
        return std::nullopt;
    }
    bool gone(WindowId id) {
        return side.settle([&] { return !find(id); });
    }

    Side side;
};

using Sides = ::testing::Types<FakeSide, X11Side>;
TYPED_TEST_SUITE(DesktopContract, Sides);

TYPED_TEST(DesktopContract, ListsWindowsTopmostFirstWithTheirProperties) {
    const WindowId older =
        this->side.open({.title = "Older window", .className = "OlderClass", .role = "pop-up"});
    const WindowId newer = this->side.open(
        {.title = "Newer – window ✓", .className = "NewerClass", .role = "browser"});
    const auto order = [this] {
        std::vector<WindowId> ids;
        for (const WindowInfo& info : this->side.desktop().windows()) {
            ids.push_back(info.id);
        }
        return ids;
    };
    EXPECT_TRUE(this->side.settle([&] {
        const auto ids = order();
        return ids.size() >= 2 && ids[0] == newer && ids[1] == older;
    }));
    const WindowInfo info = *this->find(newer);
    EXPECT_EQ(info.title, "Newer – window ✓");
    EXPECT_EQ(info.className, "NewerClass");
    EXPECT_EQ(info.role, "browser");
    EXPECT_TRUE(info.localMachine);
    EXPECT_GT(info.pid, 0);
    EXPECT_TRUE(info.visible);
    EXPECT_TRUE(this->side.desktop().children(newer).empty());
}

TYPED_TEST(DesktopContract, ClosesPolitelyOrNotAtAll) {
    const WindowId polite = this->side.open({.title = "Polite"});
    const WindowId rude = this->side.open({.title = "Rude", .takesClose = false});
    const std::uint64_t before = this->side.desktop().generation();

    EXPECT_EQ(this->side.desktop().requestClose(polite), CloseResult::Requested);
    EXPECT_TRUE(this->gone(polite));
    EXPECT_GT(this->side.desktop().generation(), before);

    EXPECT_EQ(this->side.desktop().requestClose(rude), CloseResult::NotAccepted);
    EXPECT_TRUE(this->find(rude));
    this->side.kill(rude);
    EXPECT_EQ(this->side.desktop().requestClose(rude), CloseResult::Gone);
}

TYPED_TEST(DesktopContract, TellsOfEachNewWindowOnceWhileFollowing) {
    std::vector<WindowId> created;
    this->side.desktop().onCreated = [&](WindowId id) { created.push_back(id); };
    this->side.desktop().follow(true);
    const WindowId first = this->side.open({.title = "First"});
    const WindowId second = this->side.open({.title = "Second"});
    EXPECT_TRUE(this->side.settle([&] { return created.size() >= 2; }));
    EXPECT_EQ(created, (std::vector<WindowId>{first, second}));

    this->side.desktop().follow(false);
    this->side.open({.title = "Unseen"});
    EXPECT_EQ(created.size(), 2u);
}

}  // namespace
}  // namespace halvern::platform
