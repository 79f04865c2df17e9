// zorvik_testwindow: one top-level X window with exactly the properties a test asks for, so the
// desktop backend's tests and the end-to-end suite can put any kind of window on a display.
//
//   zorvik_testwindow [options]
//
//   --title TEXT          the title, given in UTF-8 (default "Test Window")
//   --encoding KIND       how the title is stated:
//                           utf8      _NET_WM_NAME (UTF8_STRING) and WM_NAME (UTF8_STRING), default
//                           latin1    WM_NAME only, as STRING (Latin-1); the text must fit Latin-1
//                           compound  WM_NAME only, as COMPOUND_TEXT
//                           none      no title at all
//   --class NAME          WM_CLASS class (the second string; default "ZorvikTestWindow")
//   --instance NAME       WM_CLASS instance (the first string; default "zorvik_testwindow")
//   --role ROLE           WM_WINDOW_ROLE (none by default)
//   --pid N               _NET_WM_PID (default: this process; 0 leaves it unset)
//   --machine NAME        WM_CLIENT_MACHINE (default: this machine's host name)
//   --type KIND           _NET_WM_WINDOW_TYPE: normal, dialog, dock, desktop (default: unset)
//   --no-delete           WM_PROTOCOLS without WM_DELETE_WINDOW, so a polite close is impossible
//   --ignore-close        report a close request but stay open
//   --transient-for ID    WM_TRANSIENT_FOR: the window is a transient of window ID (0x... or
//   decimal)
//   --iconic              start iconified (WM_HINTS initial state)
//   --override-redirect   a window no window manager manages (a menu, a tooltip)
//   --retitle TEXT        the title to change to later (same encoding)
//   --retitle-after MS    when to change it (default 500 ms when --retitle is given)
//   --exit-after MS       leave by itself after MS milliseconds (a guard against leftovers)
//   --help                print this text
//
// It prints "window 0x<id>" once the window is mapped, "close request" each time a
// WM_DELETE_WINDOW message arrives, and "retitled" after a retitle, each on a line of its own on
// stdout, flushed at once. It exits with 0 on a close request (unless --ignore-close), on
// --exit-after, or when the display goes away.

#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

const char* const kHelp =
    "Usage: zorvik_testwindow [options]\n"
    "One top-level X window with the properties asked for, for tests.\n"
    "  --title TEXT          the title, given in UTF-8 (default \"Test Window\")\n"
    "  --encoding KIND       utf8 (_NET_WM_NAME and WM_NAME, default), latin1 (WM_NAME as\n"
    "                        STRING only), compound (WM_NAME as COMPOUND_TEXT only), none\n"
    "  --class NAME          WM_CLASS class (default \"ZorvikTestWindow\")\n"
    "  --instance NAME       WM_CLASS instance (default \"zorvik_testwindow\")\n"
    "  --role ROLE           WM_WINDOW_ROLE\n"
    "  --pid N               _NET_WM_PID (default: this process; 0 leaves it unset)\n"
    "  --machine NAME        WM_CLIENT_MACHINE (default: this host name)\n"
    "  --type KIND           _NET_WM_WINDOW_TYPE: normal, dialog, dock, desktop\n"
    "  --no-delete           WM_PROTOCOLS without WM_DELETE_WINDOW\n"
    "  --ignore-close        report a close request but stay open\n"
    "  --transient-for ID    WM_TRANSIENT_FOR window ID (0x... or decimal)\n"
    "  --iconic              start iconified\n"
    "  --override-redirect   a window no window manager manages\n"
    "  --retitle TEXT        the title to change to later (same encoding)\n"
    "  --retitle-after MS    when to change it (default 500)\n"
    "  --exit-after MS       leave by itself after MS milliseconds\n"
    "Prints \"window 0x<id>\" when mapped, \"close request\" on WM_DELETE_WINDOW and\n"
    "\"retitled\" after a retitle. Exits on a close request unless --ignore-close.\n";

struct Options {
    std::string title = "Test Window";
    std::string encoding = "utf8";
    std::string className = "ZorvikTestWindow";
    std::string instance = "zorvik_testwindow";
    std::string role;
    long pid = static_cast<long>(::getpid());
    std::optional<std::string> machine;
    std::string type;
    bool deleteProtocol = true;
    bool ignoreClose = false;
    std::uint32_t transientFor = 0;
    bool iconic = false;
    bool overrideRedirect = false;
    std::optional<std::string> retitle;
    long retitleAfter = 500;
    long exitAfter = -1;
};

[[noreturn]] void usage(const char* why) {
    std::fprintf(stderr, "zorvik_testwindow: %s\n%s", why, kHelp);
    std::exit(2);
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                usage(("option " + arg + " needs a value").c_str());
            }
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            std::exit(0);
        } else if (arg == "--title") {
            o.title = value();
        } else if (arg == "--encoding") {
            o.encoding = value();
        } else if (arg == "--class") {
            o.className = value();
        } else if (arg == "--instance") {
            o.instance = value();
        } else if (arg == "--role") {
            o.role = value();
        } else if (arg == "--pid") {
            o.pid = std::strtol(value().c_str(), nullptr, 10);
        } else if (arg == "--machine") {
            o.machine = value();
        } else if (arg == "--type") {
            o.type = value();
        } else if (arg == "--no-delete") {
            o.deleteProtocol = false;
        } else if (arg == "--ignore-close") {
            o.ignoreClose = true;
        } else if (arg == "--transient-for") {
            o.transientFor = static_cast<std::uint32_t>(std::strtoul(value().c_str(), nullptr, 0));
        } else if (arg == "--iconic") {
            o.iconic = true;
        } else if (arg == "--override-redirect") {
            o.overrideRedirect = true;
        } else if (arg == "--retitle") {
            o.retitle = value();
        } else if (arg == "--retitle-after") {
            o.retitleAfter = std::strtol(value().c_str(), nullptr, 10);
        } else if (arg == "--exit-after") {
            o.exitAfter = std::strtol(value().c_str(), nullptr, 10);
        } else {
            usage(("unknown argument " + arg).c_str());
        }
    }
    if (o.encoding != "utf8" && o.encoding != "latin1" && o.encoding != "compound" &&
        o.encoding != "none") {
        usage("--encoding takes utf8, latin1, compound or none");
    }
    return o;
}

/// UTF-8 to Latin-1; characters outside Latin-1 become '?'.
std::string toLatin1(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
            const unsigned code =
                ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3Fu);
            out += code < 0x100 ? static_cast<char>(code) : '?';
        } else {
            while (i + 1 < utf8.size() &&
                   (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
                ++i;
            }
            out += '?';
        }
    }
    return out;
}

class TestWindow {
public:
    TestWindow(Display* display, const Options& options)
        : m_display(display), m_c(XGetXCBConnection(display)), m_options(options) {}

    xcb_atom_t atom(const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            m_c, xcb_intern_atom(m_c, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t a = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return a;
    }

    void setProperty(const char* name, xcb_atom_t type, int format, const void* data,
                     std::size_t count) {
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, m_window, atom(name), type,
                            static_cast<std::uint8_t>(format), static_cast<std::uint32_t>(count),
                            data);
    }

    void setString(const char* name, xcb_atom_t type, const std::string& text) {
        setProperty(name, type, 8, text.data(), text.size());
    }

    void setTitle(const std::string& title) {
        const xcb_atom_t utf8 = atom("UTF8_STRING");
        if (m_options.encoding == "utf8") {
            setString("_NET_WM_NAME", utf8, title);
            setString("WM_NAME", utf8, title);
        } else if (m_options.encoding == "latin1") {
            setString("WM_NAME", XCB_ATOM_STRING, toLatin1(title));
        } else if (m_options.encoding == "compound") {
            XTextProperty property{};
            char* list[] = {const_cast<char*>(title.c_str())};
            if (Xutf8TextListToTextProperty(m_display, list, 1, XCompoundTextStyle, &property) <
                0) {
                std::fprintf(stderr, "zorvik_testwindow: cannot encode the title\n");
                std::exit(1);
            }
            setProperty("WM_NAME", atom("COMPOUND_TEXT"), 8, property.value, property.nitems);
            XFree(property.value);
        }
    }

    void create() {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data;
        m_window = xcb_generate_id(m_c);
        const std::uint32_t values[] = {
            screen->white_pixel, m_options.overrideRedirect ? 1u : 0u,
            XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE};
        xcb_create_window(m_c, XCB_COPY_FROM_PARENT, m_window, screen->root, 10, 10, 200, 100, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        setTitle(m_options.title);
        const std::string wmClass = m_options.instance + '\0' + m_options.className + '\0';
        setString("WM_CLASS", XCB_ATOM_STRING, wmClass);
        if (!m_options.role.empty()) {
            setString("WM_WINDOW_ROLE", XCB_ATOM_STRING, m_options.role);
        }
        if (m_options.pid != 0) {
            const auto pid = static_cast<std::uint32_t>(m_options.pid);
            setProperty("_NET_WM_PID", XCB_ATOM_CARDINAL, 32, &pid, 1);
        }
        std::string machine = m_options.machine.value_or("");
        if (!m_options.machine) {
            char host[256] = {};
            ::gethostname(host, sizeof host - 1);
            machine = host;
        }
        setString("WM_CLIENT_MACHINE", XCB_ATOM_STRING, machine);
        m_deleteWindow = atom("WM_DELETE_WINDOW");
        m_protocols = atom("WM_PROTOCOLS");
        std::vector<xcb_atom_t> protocols;
        if (m_options.deleteProtocol) {
            protocols.push_back(m_deleteWindow);
        }
        if (!protocols.empty()) {
            setProperty("WM_PROTOCOLS", XCB_ATOM_ATOM, 32, protocols.data(), protocols.size());
        }
        if (!m_options.type.empty()) {
            std::string name = "_NET_WM_WINDOW_TYPE_";
            for (char ch : m_options.type) {
                name += static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch);
            }
            const xcb_atom_t type = atom(name.c_str());
            setProperty("_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, 32, &type, 1);
        }
        if (m_options.transientFor != 0) {
            setProperty("WM_TRANSIENT_FOR", XCB_ATOM_WINDOW, 32, &m_options.transientFor, 1);
        }
        // WM_HINTS: flags (InputHint | StateHint), input, initial_state, then six unused words.
        const std::uint32_t hints[9] = {1 | 2, 1, m_options.iconic ? 3u : 1u, 0, 0, 0, 0, 0, 0};
        setProperty("WM_HINTS", atom("WM_HINTS"), 32, hints, 9);
        xcb_map_window(m_c, m_window);
        xcb_flush(m_c);
        std::printf("window 0x%x\n", m_window);
        std::fflush(stdout);
    }

    /// Handles the events waiting; false when the program should end.
    bool handleEvents() {
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_c)) {
            const bool keep = handle(event);
            std::free(event);
            if (!keep) {
                return false;
            }
        }
        return xcb_connection_has_error(m_c) == 0;
    }

    void retitle() {
        setTitle(*m_options.retitle);
        xcb_flush(m_c);
        std::printf("retitled\n");
        std::fflush(stdout);
    }

    int fd() const { return xcb_get_file_descriptor(m_c); }

private:
    bool handle(const xcb_generic_event_t* event) {
        if ((event->response_type & 0x7F) != XCB_CLIENT_MESSAGE) {
            return true;
        }
        const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event);
        if (message->type != m_protocols || message->data.data32[0] != m_deleteWindow) {
            return true;
        }
        std::printf("close request\n");
        std::fflush(stdout);
        return m_options.ignoreClose;
    }

    Display* m_display;
    xcb_connection_t* m_c;
    const Options& m_options;
    xcb_window_t m_window = 0;
    xcb_atom_t m_deleteWindow = 0;
    xcb_atom_t m_protocols = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    // The COMPOUND_TEXT encoder works in the locale's terms; any UTF-8 locale will do.
    if (!std::setlocale(LC_ALL, "") || !XSupportsLocale()) {
        std::setlocale(LC_ALL, "C.UTF-8");
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "zorvik_testwindow: cannot open the display\n");
        return 1;
    }
    XSetEventQueueOwner(display, XCBOwnsEventQueue);
    TestWindow window(display, options);
    window.create();

    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();
    const auto elapsed = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started)
            .count();
    };
    bool retitled = !options.retitle.has_value();
    while (true) {
        long timeout = -1;
        if (!retitled) {
            timeout = std::max(0L, options.retitleAfter - elapsed());
        }
        if (options.exitAfter >= 0) {
            const long left = std::max(0L, options.exitAfter - elapsed());
            timeout = timeout < 0 ? left : std::min(timeout, left);
        }
        pollfd fd{window.fd(), POLLIN, 0};
        ::poll(&fd, 1, static_cast<int>(timeout));
        if (!window.handleEvents()) {
            break;
        }
        if (!retitled && elapsed() >= options.retitleAfter) {
            window.retitle();
            retitled = true;
        }
        if (options.exitAfter >= 0 && elapsed() >= options.exitAfter) {
            break;
        }
    }
    XCloseDisplay(display);
    return 0;
}
