#include "gui/AboutWindow.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "forms/AboutForm.h"
#include "gui/ClickableLabel.h"

namespace halvern::gui {

AboutWindow::AboutWindow(forms::AboutForm& form, const QIcon& icon, QWidget* parent)
    : QWidget(parent, Qt::Dialog), m_form(form) {
    setWindowIcon(icon);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(8);

    auto* top = new QHBoxLayout;
    top->setSpacing(12);
    auto* picture = new QLabel;
    picture->setPixmap(icon.pixmap(48, 48));
    picture->setAlignment(Qt::AlignTop);
    top->addWidget(picture);
    auto* texts = new QVBoxLayout;
    ClickableLabel* name = m_bindings.label(form.lblName);
    QFont big = name->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.3);
    name->setFont(big);
    texts->addWidget(name);
    texts->addWidget(m_bindings.label(form.lblVersion));
    texts->addWidget(m_bindings.label(form.lblLicence));
    texts->addWidget(m_bindings.label(form.lblAddress, true));
    top->addLayout(texts, 1);
    layout->addLayout(top);

    QPushButton* ok = m_bindings.button(form.cmdOK);
    ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    setMinimumWidth(360);

    m_bindings.watch(form.frmAbout.changed(), [this] { syncForm(); });
    m_bindings.watch(form.frmAbout.raiseRequested(), [this] {
        raise();
        activateWindow();
    });
    syncForm();
}

void AboutWindow::syncForm() {
    setWindowTitle(QString::fromStdString(m_form.frmAbout.caption()));
    if (m_form.frmAbout.visible() != isVisible()) {
        setVisible(m_form.frmAbout.visible());
    }
}

void AboutWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    m_form.frmAbout.hide();
}

}  // namespace halvern::gui
