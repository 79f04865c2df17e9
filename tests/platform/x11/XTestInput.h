#pragma once

#include <map>
#include <string>

namespace halvern::platform::testing {

/// Presses and releases keys and pointer buttons on a display through XTest, as a user would;
/// each call returns once the server has taken it. Xlib stays in the source file (its macros
/// clash with GoogleTest's).
class XTestInput {
public:
    explicit XTestInput(const std::string& displayName);
    ~XTestInput();
    XTestInput(const XTestInput&) = delete;
    XTestInput& operator=(const XTestInput&) = delete;

    /// Presses or releases the key that types `keysym`.
    void key(unsigned keysym, bool down);
    void button(unsigned number, bool down);
    /// Closes the connection now (before its display goes away: Xlib ends the process when its
    /// connection breaks).
    void close();

    /// The key that types `keysym`, as the map was when it was first asked for: a key stays the
    /// same physical key whatever a later map makes it type.
    unsigned keycode(unsigned keysym);

private:
    void* m_display = nullptr;
    std::map<unsigned, unsigned> m_keycodes;
};

}  // namespace halvern::platform::testing
