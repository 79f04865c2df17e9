#pragma once

#include <string>
#include <vector>

#include "core/StatusLog.h"
#include "platform/Desktop.h"

namespace halvern::titles {

/// The caption of the title list editor, which the window list leaves out.
inline constexpr const char* kEditorCaption = "Popup Window Blocking Using  Window Titles";

/// The visible top-level windows for the user to pick from, topmost first: each by its title or
/// its class, the sub-windows of an America Online window indented by three blanks under it.
/// Zorvik's own windows, the editor and the desktop's own furniture are left out.
std::vector<std::string> listWindowTitles(platform::Desktop& desktop, int ownPid);

/// Politely asks every visible, titled browser window (by its class) to close, each with a status
/// line; Zorvik's own windows never.
void CloseAllBrowsers(platform::Desktop& desktop, int ownPid, core::StatusLog& log);

}  // namespace halvern::titles
