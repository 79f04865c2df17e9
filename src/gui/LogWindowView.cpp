#include "gui/LogWindowView.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QResizeEvent>
#include <algorithm>

#include "gui/MainWindow.h"
#include "ui/LogWindowForm.h"

namespace halvern::gui {
namespace {

constexpr int kTwips = MainWindow::kTwipsPerPixel;
/// The list's place: below the view buttons, inset from the left edge.
constexpr int kListLeft = 12;
constexpr int kListTop = 44;
constexpr int kRowHeight = 30;

}  // namespace

LogWindowView::LogWindowView(ui::LogWindowForm& form, const QIcon& icon, QWidget* parent)
    : QWidget(parent, Qt::Window), m_form(form) {
    setWindowIcon(icon);
    setWindowTitle(QString::fromStdString(form.frmLastBlocked.caption()));

    m_views = new QWidget(this);
    auto* viewRow = new QHBoxLayout(m_views);
    viewRow->setContentsMargins(0, 0, 0, 0);
    for (forms::Button* button :
         {&form.cmdByAdServer, &form.cmdIEPopups, &form.cmdTitles, &form.cmdSpyWare}) {
        QPushButton* push = m_bindings.button(*button);
        // The button of the view shown is bold: its room is the bold caption's.
        QFont bold = push->font();
        bold.setBold(true);
        push->setMinimumWidth(QFontMetrics(bold).horizontalAdvance(push->text()) + 20);
        viewRow->addWidget(push);
    }

    m_list = new QListWidget(this);
    m_bindings.bind(form.lstBlocked, *m_list);

    m_commands = new QWidget(this);
    auto* commandRow = new QHBoxLayout(m_commands);
    commandRow->setContentsMargins(0, 0, 0, 0);
    commandRow->addWidget(m_bindings.button(form.cmdCopy));
    commandRow->addWidget(m_bindings.button(form.cmdClear));
    commandRow->addStretch(1);
    commandRow->addWidget(m_bindings.button(form.cmdCancel));

    m_bindings.watch(form.listResized, [this] { placeList(); });
    m_bindings.watch(form.frmLastBlocked.changed(), [this] { syncForm(); });
    m_bindings.watch(form.frmLastBlocked.raiseRequested(), [this] {
        raise();
        activateWindow();
    });
    // The four view buttons always show whole, in the row above the list.
    const int buttonsWidth = viewRow->sizeHint().width() + 2 * kListLeft;
    setMinimumSize(buttonsWidth, 150);
    resize(std::max(7500 / kTwips, buttonsWidth), 6000 / kTwips);
    syncForm();
}

void LogWindowView::syncForm() {
    setWindowTitle(QString::fromStdString(m_form.frmLastBlocked.caption()));
    if (m_form.frmLastBlocked.visible() != isVisible()) {
        setVisible(m_form.frmLastBlocked.visible());
    }
}

void LogWindowView::placeList() {
    m_views->setGeometry(kListLeft, 6, width() - 2 * kListLeft, kRowHeight);
    m_list->setGeometry(kListLeft, kListTop, m_form.listWidth / kTwips, m_form.listHeight / kTwips);
    m_commands->setGeometry(kListLeft, kListTop + m_list->height() + 10,
                            std::max(m_list->width(), 300), kRowHeight);
}

void LogWindowView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_form.onResize) {
        m_form.onResize(event->size().width() * kTwips, event->size().height() * kTwips);
    }
    placeList();
}

void LogWindowView::closeEvent(QCloseEvent* event) {
    if (!m_form.frmLastBlocked.queryUnload(forms::UnloadMode::FormControlMenu)) {
        event->ignore();
        return;
    }
    event->accept();
    m_form.frmLastBlocked.hide();
}

}  // namespace halvern::gui
