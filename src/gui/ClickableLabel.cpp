#include "gui/ClickableLabel.h"

#include <QKeyEvent>
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
    // A link is reached with Tab like a button, shows that it has the focus, and Space or
    // Return follows it.
    setFocusPolicy(link ? Qt::StrongFocus : Qt::NoFocus);
    setStyleSheet(link ? QStringLiteral("QLabel { color: #1a4fb4; border: 1px solid transparent; }"
                                        " QLabel:focus { border: 1px dotted #1a4fb4; }"
                                        " QLabel:disabled { color: gray; }")
                       : QString());
}

void ClickableLabel::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (focusPolicy() != Qt::NoFocus && event->modifiers() == Qt::NoModifier &&
        (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        Q_EMIT clicked();
        return;
    }
    QLabel::keyPressEvent(event);
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
