#pragma once

#include <QMenu>

#include "gui/Bindings.h"

namespace halvern::forms {
struct MainForm;
}

namespace halvern::gui {

/// The tray menu: one entry per child of the form's mnuTray, a line for each entry whose caption
/// is a line of dashes; it pops up at the mouse whenever the model asks for it.
class TrayMenuView final {
public:
    explicit TrayMenuView(forms::MainForm& form);

    QMenu& menu() { return m_menu; }

private:
    // The menu outlives the bindings, which disconnect from the models first.
    QMenu m_menu;
    Bindings m_bindings;
};

}  // namespace halvern::gui
