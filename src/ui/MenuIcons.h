#pragma once

#include "forms/MainForm.h"

namespace halvern::ui {

/// Puts the small pictures beside the entries of the menus and the tray menu, by picture key
/// ("save", "stop", "email", "sendinfo", "network", "sound", "help", "checklist", "gear",
/// "graph", "block"). Cosmetic; run once at start-up.
void SetMenuIcons(forms::MainForm& form);

}  // namespace halvern::ui
