#pragma once

#include "platform/Dialogs.h"

namespace halvern::platform {

/// Message boxes and the open-file dialog as modal Qt dialogs; their own event loop keeps the
/// program's timers and sockets running while the user decides.
class QtDialogs final : public Dialogs {
public:
    BoxAnswer messageBox(const std::string& text, const std::string& title, BoxButtons buttons,
                         BoxIcon icon) override;
    std::optional<std::string> openFile(const std::string& title, const std::string& filter,
                                        const std::string& defaultExtension,
                                        const std::string& initialPath) override;

    /// Turns an old-style filter ("Sounds|*.wav|All|*.*" or a bare "*.wav") into Qt's form.
    static std::string qtFilter(const std::string& filter);
};

}  // namespace halvern::platform
