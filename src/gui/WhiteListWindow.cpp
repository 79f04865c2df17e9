#include "gui/WhiteListWindow.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "popups/WhiteListForm.h"

namespace halvern::gui {

WhiteListWindow::WhiteListWindow(popups::WhiteListForm& form, const QIcon& icon, QWidget* parent)
    : QWidget(parent, Qt::Window), m_form(form) {
    setWindowIcon(icon);
    auto* layout = new QVBoxLayout(this);

    // The entry to add, then the list.
    auto* entryRow = new QHBoxLayout;
    entryRow->addWidget(m_bindings.lineEdit(form.txtTitle), 1);
    entryRow->addWidget(m_bindings.button(form.cmdAdd));
    layout->addLayout(entryRow);
    auto* list = new QListWidget;
    m_bindings.bind(form.lstAdd, *list);
    layout->addWidget(list, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_bindings.button(form.cmdDel));
    buttons->addStretch(1);
    buttons->addWidget(m_bindings.button(form.cmdOK));
    buttons->addWidget(m_bindings.button(form.cmdCancel));
    layout->addLayout(buttons);
    resize(560, 400);

    m_bindings.watch(form.frmIEWhiteList.changed(), [this] { syncForm(); });
    m_bindings.watch(form.frmIEWhiteList.raiseRequested(), [this] {
        raise();
        activateWindow();
    });
    syncForm();
}

void WhiteListWindow::syncForm() {
    setWindowTitle(QString::fromStdString(m_form.frmIEWhiteList.caption()));
    if (m_form.frmIEWhiteList.visible() != isVisible()) {
        setVisible(m_form.frmIEWhiteList.visible());
    }
}

void WhiteListWindow::closeEvent(QCloseEvent* event) {
    // The model unloads itself; a cancelled unload keeps the window.
    if (m_form.frmIEWhiteList.visible() &&
        !m_form.frmIEWhiteList.queryUnload(forms::UnloadMode::FormControlMenu)) {
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace halvern::gui
