#pragma once

#include <QLabel>

namespace halvern::gui {

/// A label that reports the user's clicks and double clicks, as the old toolkit's labels did.
/// A double click reports Click for its first press only, then DblClick.
class ClickableLabel final : public QLabel {
    Q_OBJECT

public:
    explicit ClickableLabel(QWidget* parent = nullptr);

    /// Shows the label as a link: blue, underlined, with a pointing hand, reached with Tab.
    void setLink(bool link);

Q_SIGNALS:
    void clicked();
    void doubleClicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool m_inDoubleClick = false;
};

}  // namespace halvern::gui
