#include "gui/TabRows.h"

#include <QEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace halvern::gui {
namespace {

// One look for every row; the selected tab is marked only in the row that holds it.
const char* const kRowStyle = R"(
QTabBar::tab {
    background: #e6e8ec; color: #202020;
    border: 1px solid #9ea3ab; border-bottom: none;
    border-top-left-radius: 4px; border-top-right-radius: 4px;
    padding: 3px 7px; margin-right: 1px; margin-top: 2px;
}
QTabBar::tab:hover { background: #f2f5fa; }
QTabBar::tab:disabled { color: #9a9a9a; }
QTabBar::tab:focus { border: 1px dotted #1a4fb4; border-bottom: none; }
QTabBar[activeRow="true"]::tab:selected { background: palette(window); margin-top: 0px; }
)";

}  // namespace

TabRows::TabRows(QTabWidget& tabs, int perRow, QWidget* parent)
    : QWidget(parent), m_tabs(tabs), m_perRow(perRow) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int first = 0; first < tabs.count(); first += perRow) {
        auto* bar = new QTabBar;
        bar->setStyleSheet(kRowStyle);
        bar->setExpanding(true);
        bar->setDrawBase(false);
        bar->setUsesScrollButtons(false);
        // Each row is one stop of Tab; the arrow keys then go along it and choose the page.
        bar->setFocusPolicy(Qt::TabFocus);
        for (int i = first; i < first + perRow && i < tabs.count(); ++i) {
            bar->addTab(tabs.tabText(i));
        }
        // A click picks a tab even when it is the one its inactive row already marks; any other
        // change of the row (the keyboard, an assistive tool's Press on a tab) picks it too.
        const auto pick = [this, first](int index) {
            if (index >= 0 && m_tabs.isTabEnabled(first + index)) {
                m_tabs.setCurrentIndex(first + index);
            }
            // A refused choice changes no page: the rows show the current one again.
            if (m_tabs.currentIndex() != first + index) {
                refresh();
            }
        };
        connect(bar, &QTabBar::tabBarClicked, this, pick);
        connect(bar, &QTabBar::currentChanged, this, pick);
        m_rows.push_back(bar);
        layout->addWidget(bar);
    }
    tabs.tabBar()->hide();
    layout->addWidget(&tabs, 1);
    connect(&tabs, &QTabWidget::currentChanged, this, &TabRows::refresh);
    tabs.installEventFilter(this);
    refresh();
}

bool TabRows::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_tabs && event->type() == QEvent::EnabledChange) {
        for (QTabBar* bar : m_rows) {
            bar->setEnabled(m_tabs.isEnabled());
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TabRows::refresh() {
    const int current = m_tabs.currentIndex();
    for (std::size_t r = 0; r < m_rows.size(); ++r) {
        QTabBar* bar = m_rows[r];
        const int first = static_cast<int>(r) * m_perRow;
        const QSignalBlocker blocker(bar);
        for (int i = 0; i < bar->count(); ++i) {
            bar->setTabText(i, m_tabs.tabText(first + i));
            bar->setTabEnabled(i, m_tabs.isTabEnabled(first + i));
        }
        const bool active = current >= first && current < first + bar->count();
        if (active) {
            bar->setCurrentIndex(current - first);
        }
        bar->setProperty("activeRow", active);
        bar->style()->unpolish(bar);
        bar->style()->polish(bar);
        bar->update();
    }
}

}  // namespace halvern::gui
