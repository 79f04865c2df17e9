#pragma once

#include <QWidget>
#include <vector>

class QTabBar;
class QTabWidget;

namespace halvern::gui {

/// Shows the tabs of a QTabWidget in rows of a fixed count, as a multi-row tab strip, above
/// the widget's pages. The QTabWidget stays the one control the user changes: a click on a row
/// sets its current index, and the rows follow it.
class TabRows final : public QWidget {
    Q_OBJECT

public:
    TabRows(QTabWidget& tabs, int perRow, QWidget* parent = nullptr);

    /// How many rows there are.
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    /// The bar of one row, top first.
    QTabBar& row(int index) const { return *m_rows.at(static_cast<std::size_t>(index)); }

    /// Repaints the rows from the QTabWidget: captions, enabled tabs and the current tab.
    void refresh();

protected:
    /// The rows are enabled while the tab control is.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTabWidget& m_tabs;
    int m_perRow;
    std::vector<QTabBar*> m_rows;
};

}  // namespace halvern::gui
