// The XInput2 device where the contract cannot follow it: its map of buttons and keysyms, and
// displays that are missing, lack XInput 2 or go away.

#include "platform/x11/XInputDevice.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "X11TestSupport.h"
#include "XTestInput.h"
#include "platform/linux/PollScheduler.h"
#include "platform/x11/RawInputMap.h"

namespace halvern::platform {
namespace {

using namespace std::chrono_literals;

/// A stand-in X server on a display of its own that speaks just enough of the protocol for a
/// client to connect and ask for XInput: it has none (`xinputMajor` 0) or only that version.
class OldServer {
public:
    explicit OldServer(int xinputMajor) : m_xinputMajor(xinputMajor) {
        ::mkdir("/tmp/.X11-unix", 01777);
        for (int number = 4000 + ::getpid() % 1000; m_listener < 0 && number < 6000; ++number) {
            const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
            if (::access(path.c_str(), F_OK) == 0) {
                continue;
            }
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
            if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                ::listen(fd, 1) == 0) {
                m_listener = fd;
                m_path = path;
                m_name = ":" + std::to_string(number);
            } else {
                ::close(fd);
            }
        }
        if (m_listener < 0) {
            throw std::runtime_error("no free display number for the stand-in server");
        }
        m_thread = std::thread([this] { serve(); });
    }
    OldServer(const OldServer&) = delete;
    OldServer& operator=(const OldServer&) = delete;
    ~OldServer() {
        ::shutdown(m_listener, SHUT_RDWR);
        m_thread.join();
        ::close(m_listener);
        ::unlink(m_path.c_str());
    }

    const std::string& name() const { return m_name; }
    /// How many questions the client asked about XInput.
    int questions() const { return m_questions; }

private:
    static constexpr std::uint8_t kOpcode = 131;

    void serve() {
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client < 0) {
            return;
        }
        std::uint8_t setup[12];
        if (readAll(client, setup, sizeof setup)) {
            const auto padded = [](unsigned n) { return (n + 3) & ~3U; };
            std::vector<std::uint8_t> auth(padded(setup[6] | setup[7] << 8) +
                                           padded(setup[8] | setup[9] << 8));
            if (readAll(client, auth.data(), auth.size())) {
                writeAll(client, setupReply());
                answer(client);
            }
        }
        ::close(client);
    }

    /// Answers QueryExtension and XIQueryVersion; nothing else is asked before the client
    /// gives up.
    void answer(int client) {
        std::uint16_t sequence = 0;
        std::uint8_t header[4];
        while (readAll(client, header, sizeof header)) {
            ++sequence;
            std::vector<std::uint8_t> body((header[2] | header[3] << 8) * 4U - 4U);
            if (!readAll(client, body.data(), body.size())) {
                return;
            }
            std::vector<std::uint8_t> reply(32, 0);
            reply[0] = 1;
            reply[2] = sequence & 0xFF;
            reply[3] = sequence >> 8;
            if (header[0] == 98) {  // QueryExtension
                ++m_questions;
                reply[8] = m_xinputMajor > 0 ? 1 : 0;
                reply[9] = kOpcode;
            } else if (header[0] == kOpcode && header[1] == 47) {  // XIQueryVersion
                ++m_questions;
                reply[8] = static_cast<std::uint8_t>(m_xinputMajor);
            } else {
                continue;
            }
            writeAll(client, reply);
        }
    }

    /// A little-endian setup: one screen of one depth without visuals, keycodes 8 to 255.
    static std::vector<std::uint8_t> setupReply() {
        std::vector<std::uint8_t> data(32 + 40 + 8, 0);
        const auto put = [&data](std::size_t at, std::uint32_t value, int size) {
            for (int i = 0; i < size; ++i) {
                data.at(at + static_cast<std::size_t>(i)) = (value >> (8 * i)) & 0xFF;
            }
        };
        put(4, 0x00200000, 4);  // resource ids: base and mask
        put(8, 0x001FFFFF, 4);
        put(18, 0xFFFF, 2);  // maximum request length
        put(20, 1, 1);       // screens
        put(24, 32, 1);      // bitmap scanline unit and pad
        put(25, 32, 1);
        put(26, 8, 1);  // keycodes
        put(27, 255, 1);
        put(32, 0x101, 4);      // the screen: its root window
        put(32 + 20, 1024, 2);  // size
        put(32 + 22, 768, 2);
        put(32 + 38, 24, 1);  // root depth, one depth
        put(32 + 39, 1, 1);
        put(72, 24, 1);  // the depth, without visuals
        std::vector<std::uint8_t> reply = {1, 0, 11, 0, 0, 0, 0, 0};
        reply[6] = static_cast<std::uint8_t>(data.size() / 4);
        reply.insert(reply.end(), data.begin(), data.end());
        return reply;
    }

    static bool readAll(int fd, std::uint8_t* data, std::size_t size) {
        for (std::size_t done = 0; done < size;) {
            const ssize_t n = ::read(fd, data + done, size - done);
            if (n <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    static void writeAll(int fd, const std::vector<std::uint8_t>& data) {
        for (std::size_t done = 0; done < data.size();) {
            const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
            if (n <= 0) {
                return;
            }
            done += static_cast<std::size_t>(n);
        }
    }

    int m_xinputMajor;
    int m_listener = -1;
    std::string m_path;
    std::string m_name;
    std::thread m_thread;
    std::atomic<int> m_questions{0};
};

TEST(RawInputMap, ButtonsAsThePcNumbersThem) {
    struct Case {
        std::uint32_t button;
        int code;
    };
    const Case cases[] = {
        {1, vk::kLButton},  {2, vk::kMButton},  {3, vk::kRButton}, {4, 0}, {5, 0}, {6, 0}, {7, 0},
        {8, vk::kXButton1}, {9, vk::kXButton2}, {10, 0},           {0, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(virtualKeyOfButton(c.button), c.code) << "button " << c.button;
    }
}

TEST(RawInputMap, OnlyTheWatchedKindsOfKeyHaveACode) {
    struct Case {
        std::uint32_t keysym;
        int code;
    };
    const Case cases[] = {
        {XK_Control_L, vk::kControl},
        {XK_Control_R, vk::kControl},
        {XK_Alt_L, vk::kMenu},
        {XK_Alt_R, vk::kMenu},
        {XK_Meta_L, vk::kMenu},
        {XK_Meta_R, vk::kMenu},
        {XK_Shift_L, vk::kShift},
        {XK_Shift_R, vk::kShift},
        {XK_BackSpace, vk::kBack},
        {XK_Tab, vk::kTab},
        {XK_Clear, vk::kClear},
        {XK_KP_Begin, vk::kClear},
        {XK_Return, vk::kReturn},
        {XK_KP_Enter, vk::kReturn},
        {XK_F1, vk::kF1},
        {XK_F5, 116},
        {XK_F12, vk::kF12},
        // AltGr types characters; F13 and beyond, letters, digits and the rest are nobody's.
        {XK_ISO_Level3_Shift, 0},
        {XK_Mode_switch, 0},
        {XK_Super_L, 0},
        {XK_F13, 0},
        {XK_a, 0},
        {XK_5, 0},
        {XK_space, 0},
        {XK_Escape, 0},
        {XK_ISO_Left_Tab, 0},
        {XK_KP_5, 0},
        {0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(virtualKeyOfKeysym(c.keysym), c.code) << "keysym 0x" << std::hex << c.keysym;
    }
}

TEST(XInputDevice, WithoutADisplayNothingIsPressed) {
    PollScheduler loop;
    XInputDevice device(loop, "/nonexistent/socket:0");
    EXPECT_FALSE(device.available());
    device.watch({vk::kLButton});
    device.drain();
    EXPECT_FALSE(device.pressedSinceLastQuery(vk::kLButton));
    EXPECT_FALSE(device.isDown(vk::kLButton));
    EXPECT_FALSE(device.anythingPending());
}

TEST(XInputDevice, DisplayWithoutXInput2IsNotAvailable) {
    // XInput cannot be left out of Xvfb: a stand-in server answers the connection and tells.
    for (const int xinputMajor : {0, 1}) {
        SCOPED_TRACE(::testing::Message() << "XInput " << xinputMajor);
        OldServer server(xinputMajor);
        PollScheduler loop;
        XInputDevice device(loop, server.name());
        EXPECT_FALSE(device.available());
        // Asked for the extension, and for its version when there is one.
        EXPECT_EQ(server.questions(), xinputMajor == 0 ? 1 : 2);
    }
}

TEST(XInputDevice, DisplayThatGoesAwayLeavesNothingHeld) {
    testing::XServer server(false);
    PollScheduler loop;
    XInputDevice device(loop, server.name());
    ASSERT_TRUE(device.available());
    device.watch({vk::kControl});
    testing::XTestInput input(server.name());
    input.key(XK_Control_L, true);
    ASSERT_TRUE(testing::runUntil(
        loop, [&] { return device.isDown(vk::kControl); }, 5s));
    input.close();
    server.stopServer();
    ASSERT_TRUE(testing::runUntil(
        loop, [&] { return !device.available(); }, 5s));
    EXPECT_FALSE(device.isDown(vk::kControl));
    EXPECT_TRUE(device.pressedSinceLastQuery(vk::kControl)) << "a press seen before stays seen";
    EXPECT_FALSE(device.anythingPending());
    device.drain();
}

}  // namespace
}  // namespace halvern::platform
