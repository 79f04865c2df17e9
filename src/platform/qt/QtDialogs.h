#pragma once

#include <QPointer>
#include <vector>

#include "platform/Dialogs.h"

class QDialog;

namespace halvern::platform {

/// Message boxes and the open-file dialog as modal Qt dialogs; their own event loop keeps the
/// program's timers and sockets running while the user decides. Once a stop signal arrived, no
/// dialog opens: a box writes its title and text to stderr and answers as if dismissed, so the
/// exit the signal began never waits for a click.
class QtDialogs final : public Dialogs {
public:
    BoxAnswer messageBox(const std::string& text, const std::string& title, BoxButtons buttons,
                         BoxIcon icon) override;
    std::optional<std::string> openFile(const std::string& title, const std::string& filter,
                                        const std::string& defaultExtension,
                                        const std::string& initialPath) override;

    /// The program is ending: every open box closes as if dismissed (its loop ends, the caller
    /// gets the answer that does nothing) and no box opens any more.
    void endAll();

    /// Turns an old-style filter ("Sounds|*.wav|All|*.*" or a bare "*.wav") into Qt's form.
    static std::string qtFilter(const std::string& filter);

private:
    /// Runs a dialog modally unless the program is ending; false when it did not run to an end.
    bool run(QDialog& dialog, int& result);

    bool m_ended = false;
    std::vector<QPointer<QDialog>> m_open;
};

}  // namespace halvern::platform
