#include "gui/TitleEditorWindow.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/ClickableLabel.h"
#include "titles/TitleEditorForm.h"

namespace halvern::gui {

namespace {

ClickableLabel* wrappedLabel(Bindings& bindings, forms::Label& model, bool link = false) {
    ClickableLabel* label = bindings.label(model, link);
    label->setWordWrap(true);
    return label;
}

}  // namespace

TitleEditorWindow::TitleEditorWindow(titles::TitleEditorForm& form, const QIcon& icon,
                                     QWidget* parent)
    : QWidget(parent, Qt::Window), m_form(form) {
    setWindowIcon(icon);
    auto* layout = new QGridLayout(this);

    // Left: the windows open now, and the title to add.
    auto* current = new QVBoxLayout;
    current->addWidget(wrappedLabel(m_bindings, form.Label1));
    auto* windows = new QListWidget;
    m_bindings.bind(form.lstCurrent, *windows);
    current->addWidget(windows, 1);
    current->addWidget(m_bindings.button(form.cmdRefresh));
    current->addWidget(wrappedLabel(m_bindings, form.Label2));
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(m_bindings.label(form.Label3));
    titleRow->addWidget(m_bindings.lineEdit(form.txtTitle), 1);
    titleRow->addWidget(m_bindings.button(form.cmdAdd));
    current->addLayout(titleRow);
    layout->addLayout(current, 0, 0);

    // Right: the blocked list.
    auto* frame = new QGroupBox;
    m_bindings.bind(form.Frame1, *frame);
    auto* blocked = new QVBoxLayout(frame);
    auto* list = new QListWidget;
    m_bindings.bind(form.lstAdd, *list);
    blocked->addWidget(list, 1);
    blocked->addWidget(m_bindings.button(form.cmdDel));
    layout->addWidget(frame, 0, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(wrappedLabel(m_bindings, form.lblPopupTitles, true), 1);
    buttons->addWidget(m_bindings.button(form.cmdOK));
    buttons->addWidget(m_bindings.button(form.cmdCancel));
    layout->addLayout(buttons, 1, 0, 1, 2);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(1, 1);
    resize(640, 420);

    m_bindings.watch(form.frmPopupTitles.changed(), [this] { syncForm(); });
    m_bindings.watch(form.frmPopupTitles.raiseRequested(), [this] {
        raise();
        activateWindow();
    });
    syncForm();
}

void TitleEditorWindow::syncForm() {
    setWindowTitle(QString::fromStdString(m_form.frmPopupTitles.caption()));
    if (m_form.frmPopupTitles.visible() != isVisible()) {
        setVisible(m_form.frmPopupTitles.visible());
    }
}

void TitleEditorWindow::closeEvent(QCloseEvent* event) {
    // The model unloads itself; a cancelled unload keeps the window.
    if (m_form.frmPopupTitles.visible() &&
        !m_form.frmPopupTitles.queryUnload(forms::UnloadMode::FormControlMenu)) {
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace halvern::gui
