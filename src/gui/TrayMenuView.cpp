#include "gui/TrayMenuView.h"

#include <QCursor>

#include "forms/MainForm.h"

namespace halvern::gui {

TrayMenuView::TrayMenuView(forms::MainForm& form) {
    for (forms::MenuItem* entry : form.mnuTray.children()) {
        m_bindings.bind(*entry, *m_menu.addAction(QString()));
    }
    m_bindings.watch(form.trayMenuRequested, [this] {
        m_menu.popup(QCursor::pos());
        // The menu takes the keyboard like the old tray menus did, so Escape closes it.
        m_menu.activateWindow();
    });
}

}  // namespace halvern::gui
