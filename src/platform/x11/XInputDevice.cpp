#include "platform/x11/XInputDevice.h"

#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <tuple>

#include "platform/x11/RawInputMap.h"

namespace halvern::platform {

namespace {

/// One physical key or button of one master device: a key held on two keyboards is two.
struct Source {
    std::uint16_t device = 0;
    bool button = false;
    std::uint32_t code = 0;
    bool operator<(const Source& other) const {
        return std::tie(device, button, code) < std::tie(other.device, other.button, other.code);
    }
};

/// Raw events of the four kinds share one layout.
using RawEvent = xcb_input_raw_key_press_event_t;

}  // namespace

class XInputDevice::Impl {
public:
    Impl(XInputDevice& owner, Scheduler& scheduler, const std::string& displayName);
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    bool available() const { return m_watch != 0; }
    void watch(const std::vector<int>& keys);
    void drain();
    bool pressedSinceLastQuery(int key) { return m_latched.erase(key) != 0; }
    bool isDown(int key) const;
    bool anythingPending() const { return !m_latched.empty() || !m_down.empty(); }

private:
    bool selectRawEvents();
    void readKeyboardMap();
    void readEvents();
    void handle(const xcb_generic_event_t* event);
    void handleRaw(const RawEvent& event);
    void lose();

    XInputDevice& m_owner;
    Scheduler& m_scheduler;
    xcb_connection_t* m_c = nullptr;
    std::uint8_t m_opcode = 0;
    Scheduler::Id m_watch = 0;
    bool m_reading = false;
    /// The virtual-key code of each keycode, 0 for the keys nobody watches.
    std::array<std::uint8_t, 256> m_keyCodes{};
    std::set<int> m_watched;
    std::set<int> m_latched;
    /// The watched keys held now, each with the code it had when pressed (the map may change
    /// while it is held).
    std::map<Source, int> m_down;
};

XInputDevice::Impl::Impl(XInputDevice& owner, Scheduler& scheduler, const std::string& displayName)
    : m_owner(owner), m_scheduler(scheduler) {
    m_c = xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), nullptr);
    if (xcb_connection_has_error(m_c) != 0 || !selectRawEvents()) {
        return;
    }
    readKeyboardMap();
    m_watch = m_scheduler.watchFd(xcb_get_file_descriptor(m_c), Scheduler::kReadable,
                                  [this](int) { readEvents(); });
    // Events that came in with a reply wait in xcb's queue, not on the socket.
    readEvents();
}

XInputDevice::Impl::~Impl() {
    if (m_watch != 0) {
        m_scheduler.unwatch(m_watch);
    }
    xcb_disconnect(m_c);
}

/// Raw events of every master device on the root window: they come whichever window has the
/// focus and take nothing from it. From XInput 2.1 on they come during other programs' grabs too.
bool XInputDevice::Impl::selectRawEvents() {
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(m_c, &xcb_input_id);
    if (!extension || !extension->present) {
        return false;
    }
    m_opcode = extension->major_opcode;
    xcb_input_xi_query_version_reply_t* version =
        xcb_input_xi_query_version_reply(m_c, xcb_input_xi_query_version(m_c, 2, 2), nullptr);
    const bool xi2 = version && version->major_version >= 2;
    std::free(version);
    if (!xi2) {
        return false;
    }
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
           XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE |
               XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS |
               XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE};
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
    xcb_generic_error_t* error =
        xcb_request_check(m_c, xcb_input_xi_select_events_checked(m_c, root, 1, &mask.head));
    const bool selected = error == nullptr;
    std::free(error);
    return selected;
}

/// Keeps, for each keycode, only the virtual-key code of its first keysym: 0 for most keys.
void XInputDevice::Impl::readKeyboardMap() {
    const xcb_setup_t* setup = xcb_get_setup(m_c);
    const auto first = setup->min_keycode;
    const auto count = static_cast<std::uint8_t>(setup->max_keycode - first + 1);
    xcb_get_keyboard_mapping_reply_t* reply =
        xcb_get_keyboard_mapping_reply(m_c, xcb_get_keyboard_mapping(m_c, first, count), nullptr);
    if (!reply) {
        return;  // the connection broke: the next read notices
    }
    m_keyCodes.fill(0);
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(reply);
    const std::size_t perKey = reply->keysyms_per_keycode;
    const auto length = static_cast<std::size_t>(xcb_get_keyboard_mapping_keysyms_length(reply));
    for (std::size_t i = 0; perKey > 0 && i * perKey < length && first + i < m_keyCodes.size();
         ++i) {
        m_keyCodes.at(first + i) =
            static_cast<std::uint8_t>(virtualKeyOfKeysym(keysyms[i * perKey]));
    }
    std::free(reply);
}

void XInputDevice::Impl::watch(const std::vector<int>& keys) {
    m_watched = std::set<int>(keys.begin(), keys.end());
    // No state is kept for a key no longer watched.
    std::erase_if(m_latched, [this](int key) { return !m_watched.contains(key); });
    std::erase_if(m_down, [this](const auto& entry) { return !m_watched.contains(entry.second); });
}

void XInputDevice::Impl::drain() {
    if (m_watch != 0) {
        readEvents();
    }
}

bool XInputDevice::Impl::isDown(int key) const {
    return std::ranges::any_of(m_down, [key](const auto& entry) { return entry.second == key; });
}

/// Takes every event xcb holds and every one the socket already has, without waiting for more.
void XInputDevice::Impl::readEvents() {
    // A press handler that drains again would only find what this loop is about to take.
    if (m_reading) {
        return;
    }
    m_reading = true;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_c)) {
        handle(event);
        std::free(event);
    }
    m_reading = false;
    if (xcb_connection_has_error(m_c) != 0) {
        lose();
    }
}

void XInputDevice::Impl::handle(const xcb_generic_event_t* event) {
    const int type = event->response_type & 0x7F;
    if (type == XCB_MAPPING_NOTIFY) {
        // Every client hears of a changed keyboard map, without selecting it.
        const auto* e = reinterpret_cast<const xcb_mapping_notify_event_t*>(event);
        if (e->request == XCB_MAPPING_KEYBOARD) {
            readKeyboardMap();
        }
        return;
    }
    if (type != XCB_GE_GENERIC) {
        return;
    }
    const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
    if (generic->extension == m_opcode) {
        handleRaw(*reinterpret_cast<const RawEvent*>(event));
    }
}

void XInputDevice::Impl::handleRaw(const RawEvent& event) {
    const bool button = event.event_type == XCB_INPUT_RAW_BUTTON_PRESS ||
                        event.event_type == XCB_INPUT_RAW_BUTTON_RELEASE;
    const bool press = event.event_type == XCB_INPUT_RAW_KEY_PRESS ||
                       event.event_type == XCB_INPUT_RAW_BUTTON_PRESS;
    const Source source{event.deviceid, button, event.detail};
    if (!press) {
        m_down.erase(source);
        return;
    }
    int key = 0;
    if (button) {
        key = virtualKeyOfButton(event.detail);
    } else if (event.detail < m_keyCodes.size()) {
        key = m_keyCodes.at(event.detail);
    }
    // Any other key is dropped here, before anything of it is kept.
    if (key == 0 || !m_watched.contains(key)) {
        return;
    }
    // A held key repeats its raw press: only the first one is a press.
    if (!m_down.emplace(source, key).second) {
        return;
    }
    m_latched.insert(key);
    if (m_owner.onPress) {
        m_owner.onPress();
    }
}

/// The display went away: nothing more will come and nothing is held.
void XInputDevice::Impl::lose() {
    if (m_watch != 0) {
        m_scheduler.unwatch(m_watch);
        m_watch = 0;
    }
    m_down.clear();
}

XInputDevice::XInputDevice(Scheduler& scheduler, const std::string& displayName)
    : m(std::make_unique<Impl>(*this, scheduler, displayName)) {}

XInputDevice::~XInputDevice() = default;

bool XInputDevice::available() const {
    return m->available();
}

void XInputDevice::watch(const std::vector<int>& keys) {
    m->watch(keys);
}

void XInputDevice::drain() {
    m->drain();
}

bool XInputDevice::pressedSinceLastQuery(int key) {
    return m->pressedSinceLastQuery(key);
}

bool XInputDevice::isDown(int key) const {
    return m->isDown(key);
}

bool XInputDevice::anythingPending() const {
    return m->anythingPending();
}

}  // namespace halvern::platform
