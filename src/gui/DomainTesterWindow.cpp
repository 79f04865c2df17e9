#include "gui/DomainTesterWindow.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "adservers/DomainTesterForm.h"
#include "gui/ClickableLabel.h"

namespace halvern::gui {

DomainTesterWindow::DomainTesterWindow(adservers::DomainTesterForm& form, const QIcon& icon,
                                       QWidget* parent)
    : QWidget(parent, Qt::Window), m_form(form) {
    setWindowIcon(icon);
    Bindings& b = m_bindings;
    auto* layout = new QVBoxLayout(this);

    auto* commands = new QHBoxLayout;
    for (forms::Button* button : {&form.cmdTest, &form.cmdTestFail, &form.cmdUpdate, &form.Command2,
                                  &form.Command3, &form.cmdStopTimer}) {
        commands->addWidget(b.button(*button));
    }
    layout->addLayout(commands);

    auto* folder = new QHBoxLayout;
    folder->addWidget(new QLabel(QStringLiteral("Folder:")));
    folder->addWidget(b.lineEdit(form.txtDir), 1);
    folder->addWidget(b.button(form.cmdOpenDomains));
    folder->addWidget(b.button(form.cmdOpenRemovals));
    layout->addLayout(folder);

    auto* lists = new QGridLayout;
    const auto list = [&b](forms::ListBox& model) {
        auto* widget = new QListWidget;
        widget->setUniformItemSizes(true);
        b.bind(model, *widget);
        return widget;
    };
    lists->addWidget(b.label(form.lblTryStatus), 0, 0);
    lists->addWidget(list(form.lstTry), 1, 0);
    lists->addWidget(b.label(form.lblTryCount), 2, 0);
    lists->addWidget(b.label(form.lblFailStatus), 0, 1);
    lists->addWidget(list(form.lstFail), 1, 1);
    lists->addWidget(b.label(form.lblFailCount), 2, 1);
    lists->addWidget(b.label(form.lblTries), 3, 1);
    layout->addLayout(lists, 1);

    layout->addWidget(b.label(form.lblErr));
    layout->addWidget(b.label(form.lblStatus));
    auto* progress = new QProgressBar;
    b.bind(form.ProgressBar1, *progress);
    layout->addWidget(progress);
    auto* result = new QPlainTextEdit;
    result->setReadOnly(true);
    result->setMaximumHeight(120);
    b.bind(form.txtResult, *result);
    layout->addWidget(result);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(b.button(form.cmdOK));
    layout->addLayout(bottom);
    resize(720, 560);

    b.watch(form.frmTestDomains.changed(), [this] { syncForm(); });
    b.watch(form.frmTestDomains.raiseRequested(), [this] {
        if (isMinimized()) {
            showNormal();
        }
        raise();
        activateWindow();
    });
    syncForm();
}

void DomainTesterWindow::syncForm() {
    setWindowTitle(QString::fromStdString(m_form.frmTestDomains.caption()));
    if (m_form.frmTestDomains.visible() != isVisible()) {
        setVisible(m_form.frmTestDomains.visible());
    }
}

void DomainTesterWindow::closeEvent(QCloseEvent* event) {
    if (!m_form.frmTestDomains.queryUnload(forms::UnloadMode::FormControlMenu)) {
        event->ignore();
        return;
    }
    event->accept();
    // The model's handler has closed it; without one the model follows the window.
    m_form.frmTestDomains.hide();
}

}  // namespace halvern::gui
