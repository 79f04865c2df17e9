#include "gui/TrayMenuView.h"

#include <QCursor>

#include "forms/MainForm.h"
#include "gui/MenuIcons.h"

namespace halvern::gui {

TrayMenuView::TrayMenuView(forms::MainForm& form) {
    // A disabled entry says why in its tool tip, so the menu shows tool tips.
    m_menu.setToolTipsVisible(true);
    for (forms::MenuItem* entry : form.mnuTray.children()) {
        QAction* action = m_menu.addAction(QString());
        m_bindings.bind(*entry, *action);
        MenuIcons::follow(m_bindings, *entry, *action);
    }
    m_bindings.watch(form.trayMenuRequested, [this] {
        m_menu.popup(QCursor::pos());
        // The menu takes the keyboard like the old tray menus did, so Escape closes it.
        m_menu.activateWindow();
    });
}

}  // namespace halvern::gui
