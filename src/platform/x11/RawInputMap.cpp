#include "platform/x11/RawInputMap.h"

#include <X11/keysym.h>

#include "platform/InputDevice.h"

namespace halvern::platform {

int virtualKeyOfButton(std::uint32_t button) {
    switch (button) {
        case 1:
            return vk::kLButton;
        case 2:
            return vk::kMButton;
        case 3:
            return vk::kRButton;
        case 8:
            return vk::kXButton1;
        case 9:
            return vk::kXButton2;
        default:
            return 0;
    }
}

int virtualKeyOfKeysym(std::uint32_t keysym) {
    if (keysym >= XK_F1 && keysym <= XK_F12) {
        return vk::kF1 + static_cast<int>(keysym - XK_F1);
    }
    switch (keysym) {
        case XK_BackSpace:
            return vk::kBack;
        case XK_Tab:
            return vk::kTab;
        // The keypad's 5 without Num Lock is the PC keyboard's Clear key.
        case XK_Clear:
        case XK_KP_Begin:
            return vk::kClear;
        case XK_Return:
        case XK_KP_Enter:
            return vk::kReturn;
        case XK_Shift_L:
        case XK_Shift_R:
            return vk::kShift;
        case XK_Control_L:
        case XK_Control_R:
            return vk::kControl;
        case XK_Alt_L:
        case XK_Alt_R:
        case XK_Meta_L:
        case XK_Meta_R:
            return vk::kMenu;
        default:
            // AltGr (ISO_Level3_Shift, Mode_switch) types characters: it is neither Ctrl nor Alt.
            return 0;
    }
}

}  // namespace halvern::platform
