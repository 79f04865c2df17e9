#include "XTestInput.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <stdexcept>

namespace halvern::platform::testing {

namespace {

Display* display(void* handle) {
    return static_cast<Display*>(handle);
}

}  // namespace

XTestInput::XTestInput(const std::string& displayName)
    : m_display(XOpenDisplay(displayName.c_str())) {
    if (!m_display) {
        throw std::runtime_error("no connection to " + displayName + " for XTest");
    }
}

XTestInput::~XTestInput() {
    close();
}

void XTestInput::close() {
    if (m_display) {
        XCloseDisplay(display(m_display));
        m_display = nullptr;
    }
}

unsigned XTestInput::keycode(unsigned keysym) {
    auto found = m_keycodes.find(keysym);
    if (found == m_keycodes.end()) {
        const KeyCode code = XKeysymToKeycode(display(m_display), keysym);
        if (code == 0) {
            throw std::runtime_error("the display has no key for keysym " + std::to_string(keysym));
        }
        found = m_keycodes.emplace(keysym, code).first;
    }
    return found->second;
}

void XTestInput::key(unsigned keysym, bool down) {
    XTestFakeKeyEvent(display(m_display), keycode(keysym), down ? True : False, CurrentTime);
    XSync(display(m_display), False);
}

void XTestInput::button(unsigned number, bool down) {
    XTestFakeButtonEvent(display(m_display), number, down ? True : False, CurrentTime);
    XSync(display(m_display), False);
}

}  // namespace halvern::platform::testing
