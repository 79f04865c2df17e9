#include "platform/x11/AtspiButtons.h"

#include <atspi/atspi.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

namespace halvern::platform {

namespace {

/// Bounds the search of one window, so an enormous accessible tree cannot stall the caller.
constexpr int kMaxNodes = 2000;

struct Unref {
    void operator()(void* object) const { g_object_unref(object); }
};
using Accessible = std::unique_ptr<AtspiAccessible, Unref>;
using Action = std::unique_ptr<AtspiAction, Unref>;

/// One call's error, kept so the search can stop at the first failure (a hung or gone program).
class Error {
public:
    Error() = default;
    Error(const Error&) = delete;
    Error& operator=(const Error&) = delete;
    ~Error() { g_clear_error(&m_error); }
    GError** out() {
        g_clear_error(&m_error);
        return &m_error;
    }
    bool failed() const { return m_error != nullptr; }

private:
    GError* m_error = nullptr;
};

std::string nameOf(AtspiAccessible* accessible, Error& error) {
    gchar* name = atspi_accessible_get_name(accessible, error.out());
    std::string text = name ? name : "";
    g_free(name);
    return text;
}

std::vector<Accessible> childrenOf(AtspiAccessible* accessible, Error& error) {
    std::vector<Accessible> children;
    const gint count = atspi_accessible_get_child_count(accessible, error.out());
    for (gint i = 0; i < count && !error.failed(); ++i) {
        if (AtspiAccessible* child =
                atspi_accessible_get_child_at_index(accessible, i, error.out())) {
            children.emplace_back(child);
        }
    }
    return children;
}

/// The application whose process is `pid`, or none.
Accessible applicationOf(int pid, Error& error) {
    Accessible desktop(atspi_get_desktop(0));
    if (!desktop) {
        return nullptr;
    }
    for (Accessible& app : childrenOf(desktop.get(), error)) {
        Error own;
        if (static_cast<int>(atspi_accessible_get_process_id(app.get(), own.out())) == pid &&
            !own.failed()) {
            return std::move(app);
        }
    }
    return nullptr;
}

/// The first push button under `window` whose caption matches, breadth first.
Accessible findButton(AtspiAccessible* window, const std::string& caption, Error& error) {
    std::deque<Accessible> queue;
    for (Accessible& child : childrenOf(window, error)) {
        queue.push_back(std::move(child));
    }
    for (int visited = 0; !queue.empty() && visited < kMaxNodes && !error.failed(); ++visited) {
        Accessible node = std::move(queue.front());
        queue.pop_front();
        const AtspiRole role = atspi_accessible_get_role(node.get(), error.out());
        if (role == ATSPI_ROLE_PUSH_BUTTON && !error.failed() &&
            AtspiButtons::withoutMnemonics(nameOf(node.get(), error)) == caption) {
            return node;
        }
        for (Accessible& child : childrenOf(node.get(), error)) {
            queue.push_back(std::move(child));
        }
    }
    return nullptr;
}

/// Does the button's click: GTK calls it "click", Qt "Press"; a button with one action has
/// no other.
bool click(AtspiAccessible* button, Error& error) {
    Action action(atspi_accessible_get_action_iface(button));
    if (!action) {
        return false;
    }
    const gint count = atspi_action_get_n_actions(action.get(), error.out());
    gint chosen = count == 1 ? 0 : -1;
    for (gint i = 0; i < count && !error.failed(); ++i) {
        gchar* name = atspi_action_get_action_name(action.get(), i, error.out());
        const std::string_view text = name ? name : "";
        if (g_ascii_strcasecmp(std::string(text).c_str(), "click") == 0 ||
            g_ascii_strcasecmp(std::string(text).c_str(), "press") == 0) {
            chosen = i;
        }
        g_free(name);
    }
    if (chosen < 0 || error.failed()) {
        return false;
    }
    return atspi_action_do_action(action.get(), chosen, error.out()) && !error.failed();
}

/// Whether any accessibility bus can be reached, without starting one: libatspi would otherwise
/// try to launch a session bus of its own, and stops the process when it finds none later.
bool busAnnounced() {
    if (std::getenv("AT_SPI_BUS_ADDRESS") || std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
        return true;
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && ::access((std::string(runtime) + "/bus").c_str(), F_OK) == 0;
}

}  // namespace

AtspiButtons::AtspiButtons(std::chrono::milliseconds timeout) : m_timeout(timeout) {}

std::string AtspiButtons::withoutMnemonics(const std::string& caption) {
    std::string plain;
    for (char c : caption) {
        if (c != '&' && c != '_') {
            plain += c;
        }
    }
    return plain;
}

bool AtspiButtons::ready() {
    if (!m_tried) {
        m_tried = true;
        // atspi_init answers 2 when it reached no bus; the library must not be used then.
        m_ready = busAnnounced() && atspi_init() != 2;
        if (m_ready) {
            const auto ms = static_cast<gint>(m_timeout.count());
            atspi_set_timeout(ms, ms);
        }
    }
    return m_ready;
}

bool AtspiButtons::press(int pid, const std::string& title, const std::string& caption) {
    if (pid <= 0 || !ready()) {
        return false;
    }
    Error error;
    Accessible app = applicationOf(pid, error);
    if (!app) {
        return false;
    }
    // Names may have changed since libatspi last looked; read them from the program.
    atspi_accessible_clear_cache(app.get());
    const std::string wanted = withoutMnemonics(caption);
    for (Accessible& window : childrenOf(app.get(), error)) {
        Error own;
        if (nameOf(window.get(), own) != title || own.failed()) {
            continue;
        }
        if (Accessible button = findButton(window.get(), wanted, own)) {
            return click(button.get(), own);
        }
    }
    return false;
}

}  // namespace halvern::platform
