#include "gui/AdServerEditorWindow.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "adservers/AdServerEditorForm.h"
#include "gui/ClickableLabel.h"

namespace halvern::gui {

namespace {

QListWidget* listWidget(Bindings& bindings, forms::ListBox& model) {
    auto* list = new QListWidget;
    // The default list holds thousands of names: all rows are alike.
    list->setUniformItemSizes(true);
    bindings.bind(model, *list);
    return list;
}

ClickableLabel* wrapped(Bindings& bindings, forms::Label& model, bool link = false) {
    ClickableLabel* label = bindings.label(model, link);
    label->setWordWrap(true);
    return label;
}

}  // namespace

AdServerEditorWindow::AdServerEditorWindow(adservers::AdServerEditorForm& form, const QIcon& icon,
                                           QWidget* parent)
    : QWidget(parent, Qt::Window), m_form(form) {
    setWindowIcon(icon);
    Bindings& b = m_bindings;
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(wrapped(b, form.lblLast));

    auto* lists = new QGridLayout;
    lists->addWidget(b.label(form.lblAllTitle), 0, 0);
    lists->addWidget(listWidget(b, form.lstAll), 1, 0);
    lists->addWidget(b.label(form.lblTotal), 2, 0);
    auto* find = new QHBoxLayout;
    find->addWidget(b.lineEdit(form.txtFind));
    find->addWidget(b.button(form.cmdGo));
    lists->addLayout(find, 3, 0);
    auto* moves = new QVBoxLayout;
    moves->addStretch();
    moves->addWidget(b.button(form.cmdDo));
    moves->addWidget(b.button(form.cmdUndo));
    moves->addStretch();
    lists->addLayout(moves, 1, 1);
    lists->addWidget(b.label(form.lblExcludeTitle), 0, 2);
    lists->addWidget(listWidget(b, form.lstExclude), 1, 2);
    lists->addWidget(b.label(form.lblExclude), 2, 2);
    layout->addLayout(lists, 1);

    auto* own = new QGridLayout;
    own->addWidget(b.label(form.lblAddTitle), 0, 0);
    own->addWidget(listWidget(b, form.lstAdd), 1, 0, 3, 1);
    own->addWidget(wrapped(b, form.lblAdd), 1, 1, 1, 3);
    own->addWidget(b.label(form.lblServer), 2, 1);
    own->addWidget(b.lineEdit(form.txtServer), 2, 2);
    own->addWidget(b.button(form.cmdAdd), 2, 3);
    own->addWidget(b.button(form.cmdDel), 3, 3);
    layout->addLayout(own);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(wrapped(b, form.lblPopupTitles, true), 1);
    bottom->addWidget(b.button(form.cmdOK));
    bottom->addWidget(b.button(form.cmdCancel));
    layout->addLayout(bottom);
    resize(640, 560);

    b.watch(form.frmExclude.changed(), [this] { syncForm(); });
    b.watch(form.frmExclude.raiseRequested(), [this] {
        if (isMinimized()) {
            showNormal();
        }
        raise();
        activateWindow();
    });
    syncForm();
}

void AdServerEditorWindow::syncForm() {
    setWindowTitle(QString::fromStdString(m_form.frmExclude.caption()));
    if (m_form.frmExclude.visible() != isVisible()) {
        setVisible(m_form.frmExclude.visible());
    }
}

void AdServerEditorWindow::closeEvent(QCloseEvent* event) {
    if (!m_form.frmExclude.queryUnload(forms::UnloadMode::FormControlMenu)) {
        event->ignore();
        return;
    }
    event->accept();
    // The model's handler has closed it; without one the model follows the window.
    m_form.frmExclude.hide();
}

}  // namespace halvern::gui
