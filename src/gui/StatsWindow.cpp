#include "gui/StatsWindow.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QVBoxLayout>

#include "forms/StatsForm.h"
#include "gui/ClickableLabel.h"

namespace halvern::gui {

StatsWindow::StatsWindow(forms::StatsForm& form, const QIcon& icon, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), m_form(form) {
    setWindowIcon(icon);
    auto* layout = new QVBoxLayout(this);
    auto* counts = new QFormLayout;
    counts->setLabelAlignment(Qt::AlignRight);
    counts->addRow(QStringLiteral("Blocked Today:"), m_bindings.label(form.lbltot));
    counts->addRow(QStringLiteral("Blocked to Date:"), m_bindings.label(form.lblTotBlocked));
    counts->addRow(QStringLiteral("Blocked Servers:"), m_bindings.label(form.lblTotHosts));
    layout->addLayout(counts);
    layout->addWidget(m_bindings.label(form.lblDateUpdate));
    setMinimumWidth(220);
    m_bindings.watch(form.frmStats.changed(), [this] { syncForm(); });
    // The caption holds the counts and changes with every ad: it is coalesced like the labels.
    const auto title = [this] {
        setWindowTitle(QString::fromStdString(m_form.frmStats.caption()));
    };
    m_bindings.repaintOn(form.frmStats.changed(), this, title);
    title();
    syncForm();
}

void StatsWindow::syncForm() {
    if (m_form.frmStats.visible() != isVisible()) {
        setVisible(m_form.frmStats.visible());
    }
}

void StatsWindow::closeEvent(QCloseEvent* event) {
    if (!m_form.frmStats.queryUnload(forms::UnloadMode::FormControlMenu)) {
        event->ignore();
        return;
    }
    event->accept();
    m_form.Form_Unload();
}

}  // namespace halvern::gui
