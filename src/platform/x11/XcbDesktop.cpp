#include "platform/x11/XcbDesktop.h"

#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <vector>

#include "platform/x11/AtspiButtons.h"
#include "platform/x11/WindowReader.h"

namespace halvern::platform {

namespace {

/// Bounds every accessibility call, so a hung program cannot hang the loop.
constexpr std::chrono::milliseconds kAccessibilityTimeout{500};

/// The connections to displays that went away, which cannot be closed; never freed.
std::vector<Display*>& lostDisplays() {
    static auto* displays = new std::vector<Display*>;
    return *displays;
}

bool sameWindow(const WindowInfo& a, const WindowInfo& b) {
    return a.id == b.id && a.title == b.title && a.className == b.className && a.role == b.role &&
           a.type == b.type && a.pid == b.pid && a.localMachine == b.localMachine &&
           a.visible == b.visible;
}

bool sameList(const std::vector<WindowInfo>& a, const std::vector<WindowInfo>& b) {
    return std::ranges::equal(a, b, sameWindow);
}

}  // namespace

class XcbDesktop::Impl {
public:
    Impl(XcbDesktop& owner, Scheduler& scheduler, const std::string& displayName);
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    bool connected() const { return m_c && xcb_connection_has_error(m_c) == 0; }
    CloseResult requestClose(xcb_window_t window);
    bool pressButton(WindowId window, const std::string& caption);
    std::vector<WindowInfo> readAll();

    std::vector<WindowInfo> m_windows;
    std::uint64_t m_generation = 1;
    bool m_following = false;
    bool m_managed = false;

private:
    void onReadable();
    void handle(const xcb_generic_event_t* event);
    void takeQueued();
    void scheduleSettle();
    void settle();
    void walk(std::vector<WindowId>& created, std::vector<WindowId>& retitled);
    void reread(std::vector<WindowId>& retitled);
    void selectClientEvents(xcb_window_t window);
    bool known(xcb_window_t window) const;
    bool describes(xcb_atom_t property) const;

    XcbDesktop& m_owner;
    Scheduler& m_scheduler;
    Display* m_display = nullptr;
    xcb_connection_t* m_c = nullptr;
    xcb_window_t m_root = 0;
    X11Atoms m_atoms;
    std::unique_ptr<WindowReader> m_reader;
    AtspiButtons m_buttons{kAccessibilityTimeout};
    Scheduler::Id m_watch = 0;
    Scheduler::Id m_settleCall = 0;
    bool m_settlePending = false;
    bool m_walkNeeded = false;
    bool m_activeChanged = false;
    std::set<xcb_window_t> m_changed;
    std::set<xcb_window_t> m_destroyed;
};

XcbDesktop::Impl::Impl(XcbDesktop& owner, Scheduler& scheduler, const std::string& displayName)
    : m_owner(owner), m_scheduler(scheduler) {
    // One connection serves both: xcb for everything, Xlib only to decode legacy titles.
    m_display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!m_display) {
        return;
    }
    XSetEventQueueOwner(m_display, XCBOwnsEventQueue);
    m_c = XGetXCBConnection(m_display);
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
    m_atoms = X11Atoms::intern(m_c);
    m_reader = std::make_unique<WindowReader>(m_c, m_display, m_atoms, m_root);
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_c, m_root, XCB_CW_EVENT_MASK, &mask);
    std::vector<WindowId> ignored;
    walk(ignored, ignored);
    m_watch = m_scheduler.watchFd(xcb_get_file_descriptor(m_c), Scheduler::kReadable,
                                  [this](int) { onReadable(); });
    takeQueued();
}

XcbDesktop::Impl::~Impl() {
    if (m_settlePending) {
        m_scheduler.cancel(m_settleCall);
    }
    if (m_watch != 0) {
        m_scheduler.unwatch(m_watch);
    }
    // Xlib ends the process when it finds its connection broken, closing included: a display
    // that went away stays open, held for the rest of the run.
    if (m_display && connected()) {
        XCloseDisplay(m_display);
    } else if (m_display) {
        lostDisplays().push_back(m_display);
    }
}

void XcbDesktop::Impl::onReadable() {
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_c)) {
        handle(event);
        std::free(event);
    }
    if (!connected()) {
        // The display went away: nothing more will come, and nothing can be closed.
        m_scheduler.unwatch(m_watch);
        m_watch = 0;
        if (!m_windows.empty()) {
            m_windows.clear();
            ++m_generation;
        }
    }
}

/// Events that came in with a reply wait in xcb's queue, not on the socket: take them too.
void XcbDesktop::Impl::takeQueued() {
    while (xcb_generic_event_t* event = xcb_poll_for_queued_event(m_c)) {
        handle(event);
        std::free(event);
    }
}

void XcbDesktop::Impl::handle(const xcb_generic_event_t* event) {
    switch (event->response_type & 0x7F) {
        case XCB_PROPERTY_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (e->window == m_root) {
                if (e->atom == m_atoms.netClientList || e->atom == m_atoms.netClientListStacking ||
                    e->atom == m_atoms.netSupportingWmCheck) {
                    m_walkNeeded = true;
                } else if (e->atom == m_atoms.netActiveWindow) {
                    m_activeChanged = true;
                } else {
                    return;
                }
            } else if (known(e->window) && describes(e->atom)) {
                m_changed.insert(e->window);
            } else {
                return;
            }
            break;
        }
        case XCB_MAP_NOTIFY:
        case XCB_UNMAP_NOTIFY:
        case XCB_REPARENT_NOTIFY:
            // With a window manager the client list tells; without one the root's children do.
            if (m_managed) {
                return;
            }
            m_walkNeeded = true;
            break;
        case XCB_DESTROY_NOTIFY: {
            // A new window may get the id of one just destroyed: it is still new. This is also
            // how a window manager that ends (its check window destroyed) is noticed.
            const auto* e = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
            if (known(e->window)) {
                m_destroyed.insert(e->window);
            }
            m_walkNeeded = true;
            break;
        }
        default:
            // Errors of requests whose window went away meanwhile end up here: nothing to do.
            return;
    }
    scheduleSettle();
}

/// One new window causes several events; they are merged into one walk after the handler.
void XcbDesktop::Impl::scheduleSettle() {
    if (m_settlePending) {
        return;
    }
    m_settlePending = true;
    m_settleCall = m_scheduler.callAfter(Millis(0), [this] {
        m_settlePending = false;
        settle();
    });
}

void XcbDesktop::Impl::settle() {
    if (!connected()) {
        return;
    }
    std::vector<WindowId> created;
    std::vector<WindowId> retitled;
    if (m_walkNeeded) {
        m_walkNeeded = false;
        m_changed.clear();
        walk(created, retitled);
    } else if (!m_changed.empty()) {
        reread(retitled);
    }
    xcb_window_t active = 0;
    if (m_activeChanged) {
        m_activeChanged = false;
        active = m_reader->activeWindow();
    }
    takeQueued();
    if (!m_following) {
        return;
    }
    for (WindowId id : created) {
        if (m_owner.onCreated) {
            m_owner.onCreated(id);
        }
    }
    for (WindowId id : retitled) {
        if (m_owner.onTitleChanged) {
            m_owner.onTitleChanged(id);
        }
    }
    if (active != 0 && m_owner.onActivated) {
        m_owner.onActivated(active);
    }
}

void XcbDesktop::Impl::walk(std::vector<WindowId>& created, std::vector<WindowId>& retitled) {
    const TopLevelList list = m_reader->listTopLevel();
    m_managed = list.managed;
    // Events are selected before the properties are read, so no change falls in between.
    for (xcb_window_t id : list.ids) {
        if (!known(id) || m_destroyed.contains(id)) {
            selectClientEvents(id);
        }
    }
    std::vector<WindowInfo> windows = m_reader->read(list.ids, list.managed);
    for (const WindowInfo& window : windows) {
        const auto old = std::ranges::find(m_windows, window.id, &WindowInfo::id);
        if (old == m_windows.end() || m_destroyed.contains(static_cast<xcb_window_t>(window.id))) {
            created.push_back(window.id);
        } else if (old->title != window.title) {
            retitled.push_back(window.id);
        }
    }
    m_destroyed.clear();
    // A new window in place of a gone one with its id changes the list, whatever it states.
    if (!created.empty() || !sameList(windows, m_windows)) {
        m_windows = std::move(windows);
        ++m_generation;
    }
}

/// Reads again the windows whose properties changed, in one batch.
void XcbDesktop::Impl::reread(std::vector<WindowId>& retitled) {
    const std::vector<xcb_window_t> ids(m_changed.begin(), m_changed.end());
    m_changed.clear();
    const std::vector<WindowInfo> fresh = m_reader->read(ids, m_managed);
    bool changed = false;
    for (const WindowInfo& info : fresh) {
        auto it = std::ranges::find(m_windows, info.id, &WindowInfo::id);
        if (it == m_windows.end() || sameWindow(*it, info)) {
            continue;
        }
        if (it->title != info.title) {
            retitled.push_back(info.id);
        }
        *it = info;
        changed = true;
    }
    // A window that can no longer be read (gone, unmapped) leaves with the next walk.
    if (fresh.size() != ids.size()) {
        m_walkNeeded = true;
        scheduleSettle();
    }
    if (changed) {
        ++m_generation;
    }
}

void XcbDesktop::Impl::selectClientEvents(xcb_window_t window) {
    // Our own mask on another program's window; theirs is untouched. A window gone meanwhile
    // answers with an error event, which is ignored.
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_c, window, XCB_CW_EVENT_MASK, &mask);
}

bool XcbDesktop::Impl::known(xcb_window_t window) const {
    return std::ranges::find(m_windows, WindowId{window}, &WindowInfo::id) != m_windows.end();
}

/// Whether a property is one the cache holds: others (a user-time stamp on every key press, say)
/// cost no read.
bool XcbDesktop::Impl::describes(xcb_atom_t property) const {
    return property == m_atoms.netWmName || property == XCB_ATOM_WM_NAME ||
           property == m_atoms.wmState || property == XCB_ATOM_WM_CLASS ||
           property == m_atoms.wmWindowRole || property == m_atoms.netWmPid ||
           property == m_atoms.wmClientMachine || property == m_atoms.netWmWindowType;
}

CloseResult XcbDesktop::Impl::requestClose(xcb_window_t window) {
    if (!connected()) {
        return CloseResult::Gone;
    }
    xcb_generic_error_t* error = nullptr;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        m_c, xcb_get_property(m_c, 0, window, m_atoms.wmProtocols, XCB_ATOM_ATOM, 0, 64), &error);
    const bool gone = error != nullptr;
    std::free(error);
    bool polite = false;
    if (reply && reply->format == 32) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        const int count = xcb_get_property_value_length(reply) / 4;
        polite = std::find(atoms, atoms + count, m_atoms.wmDeleteWindow) != atoms + count;
    }
    std::free(reply);
    takeQueued();
    if (gone) {
        return CloseResult::Gone;
    }
    // Only the window's own protocol: a window manager's close may kill a client that does not
    // speak it, and a forced kill is never ours to make.
    if (!polite) {
        return CloseResult::NotAccepted;
    }
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = m_atoms.wmProtocols;
    message.data.data32[0] = m_atoms.wmDeleteWindow;
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(m_c, 0, window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(m_c);
    return CloseResult::Requested;
}

bool XcbDesktop::Impl::pressButton(WindowId window, const std::string& caption) {
    const auto it = std::ranges::find(m_windows, window, &WindowInfo::id);
    if (it == m_windows.end() || !it->localMachine || it->pid <= 0) {
        return false;
    }
    return m_buttons.press(it->pid, it->title, caption);
}

std::vector<WindowInfo> XcbDesktop::Impl::readAll() {
    if (!connected()) {
        return {};
    }
    const TopLevelList list = m_reader->listTopLevel();
    std::vector<WindowInfo> windows = m_reader->read(list.ids, list.managed);
    takeQueued();
    return windows;
}

XcbDesktop::XcbDesktop(Scheduler& scheduler, const std::string& displayName)
    : m(std::make_unique<Impl>(*this, scheduler, displayName)) {}

XcbDesktop::~XcbDesktop() = default;

bool XcbDesktop::available() const {
    return m->connected();
}

const std::vector<WindowInfo>& XcbDesktop::windows() {
    return m->m_windows;
}

std::vector<WindowInfo> XcbDesktop::children(WindowId) {
    return {};
}

std::uint64_t XcbDesktop::generation() const {
    return m->m_generation;
}

CloseResult XcbDesktop::requestClose(WindowId window) {
    if (window == 0 || window > 0xFFFFFFFFu) {
        return CloseResult::Gone;
    }
    return m->requestClose(static_cast<xcb_window_t>(window));
}

bool XcbDesktop::pressButton(WindowId window, const std::string& caption) {
    return m->pressButton(window, caption);
}

void XcbDesktop::follow(bool on) {
    m->m_following = on;
}

std::vector<WindowInfo> XcbDesktop::readAll() {
    return m->readAll();
}

bool XcbDesktop::windowManagerPresent() const {
    return m->m_managed;
}

}  // namespace halvern::platform
