#pragma once

#include <functional>
#include <string>

namespace halvern::platform {

/// The pictures the tray icon can show.
enum class TrayPicture { Normal, Gray, Disable, On };

/// Mouse events of the tray icon, as the old notification-area callback numbered them.
enum class TrayMouse { LeftUp = 514, RightUp = 517 };

/// The notification-area icon. The tray menu itself is a form model shown by the view.
class Tray {
public:
    virtual ~Tray() = default;

    /// Adds the icon (add) or changes it (modify); returns whether the tray took the request.
    virtual bool add(TrayPicture picture, const std::string& tip) = 0;
    virtual bool modify(TrayPicture picture, const std::string& tip) = 0;
    virtual void remove() = 0;

    /// Called with each mouse release on the icon.
    std::function<void(TrayMouse)> onMouse;
};

}  // namespace halvern::platform
