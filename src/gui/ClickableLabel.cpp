#include "gui/ClickableLabel.h"

#include <QMouseEvent>

namespace halvern::gui {

ClickableLabel::ClickableLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

void ClickableLabel::setLink(bool link) {
    QFont f = font();
    f.setUnderline(link);
    setFont(f);
    setCursor(link ? Qt::PointingHandCursor : Qt::ArrowCursor);
    setStyleSheet(
        link ? QStringLiteral("QLabel { color: #1a4fb4; } QLabel:disabled { color: gray; }")
             : QString());
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton) {
        return;
    }
    // The release that ends a double click is not a further click.
    if (m_inDoubleClick) {
        m_inDoubleClick = false;
        return;
    }
    if (rect().contains(event->position().toPoint())) {
        Q_EMIT clicked();
    }
}

void ClickableLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    QLabel::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        m_inDoubleClick = true;
        Q_EMIT doubleClicked();
    }
}

}  // namespace halvern::gui
