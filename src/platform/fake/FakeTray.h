#pragma once

#include <string>

#include "platform/Tray.h"

namespace halvern::platform {

/// The tray icon in memory: whether it is shown, with which picture and tip.
class FakeTray final : public Tray {
public:
    bool add(TrayPicture picture, const std::string& tip) override;
    bool modify(TrayPicture picture, const std::string& tip) override;
    void remove() override { shown = false; }

    /// Raises a mouse event as the user's click on the icon would.
    void mouse(TrayMouse event) {
        if (onMouse) {
            onMouse(event);
        }
    }

    bool shown = false;
    TrayPicture picture = TrayPicture::Normal;
    std::string tip;
    int requests = 0;
    /// When false, add and modify fail as with no tray host.
    bool accepts = true;
};

}  // namespace halvern::platform
