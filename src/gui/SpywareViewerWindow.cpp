#include "gui/SpywareViewerWindow.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "gui/ClickableLabel.h"
#include "gui/PageParts.h"
#include "spyware/AdWareForm.h"

namespace halvern::gui {

namespace {

/// A list item's name and description, which the model keeps joined by a TAB.
std::pair<QString, QString> columns(const std::string& item) {
    const auto tab = item.find('\t');
    if (tab == std::string::npos) {
        return {QString::fromStdString(item), QString()};
    }
    return {QString::fromStdString(item.substr(0, tab)),
            QString::fromStdString(item.substr(tab + 1))};
}

}  // namespace

SpywareViewerWindow::SpywareViewerWindow(spyware::AdWareForm& form, const QIcon& icon,
                                         QWidget* parent)
    : QWidget(parent, Qt::Window), m_form(form) {
    setWindowIcon(icon);
    Bindings& b = m_bindings;
    auto* layout = new QVBoxLayout(this);

    QGroupBox* programs = PageParts::frame(QString());
    b.bind(form.Frame1, *programs);
    QVBoxLayout* programsColumn = PageParts::column(programs);
    m_list = new QTreeWidget;
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("Program"), QStringLiteral("Description")});
    m_list->setRootIsDecorated(false);
    m_list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_list->setMinimumSize(460, 260);
    programsColumn->addWidget(m_list, 1);
    programsColumn->addLayout(
        PageParts::row({b.label(form.Label1), b.label(form.lblSpyCount), nullptr}));
    programsColumn->addWidget(b.label(form.Label3));
    layout->addWidget(programs, 1);

    ClickableLabel* intro = b.label(form.lbl2);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    QGroupBox* tools = PageParts::frame(QString());
    b.bind(form.Frame2, *tools);
    ClickableLabel* picture = b.label(form.Picture1, true);
    picture->setPixmap(style()->standardIcon(QStyle::SP_DialogHelpButton).pixmap(32, 32));
    ClickableLabel* link = b.label(form.lbladaware, true);
    link->setWordWrap(true);
    PageParts::column(tools)->addLayout(PageParts::row({picture, link}));
    layout->addWidget(tools);

    layout->addLayout(PageParts::row({nullptr, b.button(form.cmdOK), b.button(form.cmdCancel)}));

    b.watch(form.lstSpyware.changed(), [this] { syncList(); });
    b.watch(form.frmAdWare.changed(), [this] { syncForm(); });
    b.watch(form.frmAdWare.raiseRequested(), [this] {
        raise();
        activateWindow();
    });
    QObject::connect(m_list, &QTreeWidget::itemChanged, this,
                     [this](QTreeWidgetItem* item, int column) {
                         if (m_syncing || column != 0) {
                             return;
                         }
                         m_form.lstSpyware.setChecked(m_list->indexOfTopLevelItem(item),
                                                      item->checkState(0) == Qt::Checked);
                     });
    QObject::connect(m_list, &QTreeWidget::currentItemChanged, this,
                     [this](QTreeWidgetItem* current) {
                         if (!m_syncing) {
                             m_form.lstSpyware.setListIndex(
                                 current == nullptr ? -1 : m_list->indexOfTopLevelItem(current));
                         }
                     });
    syncList();
    syncForm();
}

void SpywareViewerWindow::syncList() {
    const spyware::CheckList& model = m_form.lstSpyware;
    m_syncing = true;
    const int count = model.listCount();
    // The model fills one item at a time: items already shown are kept and the new ones added.
    int shown = m_list->topLevelItemCount();
    if (shown > count || (shown > 0 && m_list->topLevelItem(shown - 1)->text(0) !=
                                           columns(model.item(shown - 1)).first)) {
        m_list->clear();
        shown = 0;
    }
    for (int i = shown; i < count; ++i) {
        const auto [name, description] = columns(model.item(i));
        auto* item = new QTreeWidgetItem({name, description});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, model.checked(i) ? Qt::Checked : Qt::Unchecked);
        m_list->addTopLevelItem(item);
    }
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem* item = m_list->topLevelItem(i);
        const Qt::CheckState state = model.checked(i) ? Qt::Checked : Qt::Unchecked;
        if (item->checkState(0) != state) {
            item->setCheckState(0, state);
        }
    }
    const int current = model.listIndex();
    m_list->setCurrentItem(current < 0 ? nullptr : m_list->topLevelItem(current));
    m_syncing = false;
}

void SpywareViewerWindow::syncForm() {
    setWindowTitle(QString::fromStdString(m_form.frmAdWare.caption()));
    if (m_form.frmAdWare.visible() != isVisible()) {
        setVisible(m_form.frmAdWare.visible());
        if (isVisible()) {
            raise();
            activateWindow();
        }
    }
}

void SpywareViewerWindow::closeEvent(QCloseEvent* event) {
    if (!m_form.frmAdWare.queryUnload(forms::UnloadMode::FormControlMenu)) {
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace halvern::gui
