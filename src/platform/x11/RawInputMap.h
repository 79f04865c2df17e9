#pragma once

#include <cstdint>

namespace halvern::platform {

/// The virtual-key code of a pointer button as the X server numbers it (1 left, 2 middle,
/// 3 right, 8 and 9 the side buttons), or 0 for a button nobody watches (the wheel's 4 to 7).
int virtualKeyOfButton(std::uint32_t button);

/// The virtual-key code of a key whose first keysym is `keysym`, or 0 for every other key: only
/// the modifiers, Backspace, Tab, Clear, Enter and F1 to F12 have one.
int virtualKeyOfKeysym(std::uint32_t keysym);

}  // namespace halvern::platform
