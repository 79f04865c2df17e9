#include "platform/qt/TrayReleaseFilter.h"

#include <QMouseEvent>
#include <QWidget>
#include <cstring>

namespace halvern::platform {

TrayReleaseFilter::TrayReleaseFilter(std::function<bool(const QObject*)> isIconWindow,
                                     std::function<void(TrayMouse)> onRelease)
    : m_isIconWindow(std::move(isIconWindow)), m_onRelease(std::move(onRelease)) {}

bool TrayReleaseFilter::isXEmbedIconWindow(const QObject* object) {
    return object->isWidgetType() &&
           std::strcmp(object->metaObject()->className(), "QSystemTrayIconSys") == 0;
}

bool TrayReleaseFilter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick &&
        type != QEvent::MouseButtonRelease) {
        return false;
    }
    if (!m_isIconWindow(watched)) {
        return false;
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const Qt::MouseButton button = mouse->button();
    if (button != Qt::LeftButton && button != Qt::RightButton) {
        return false;
    }
    if (type != QEvent::MouseButtonRelease) {
        // The second press of a double click is a press like the first: its release counts.
        m_pressed = button;
        m_pressedOn = watched;
        return true;
    }
    const bool matches = button == m_pressed && m_pressedOn == watched;
    m_pressed = Qt::NoButton;
    m_pressedOn = nullptr;
    // A press dragged off the icon and let go elsewhere is no click, as with any button.
    const auto* widget = static_cast<QWidget*>(watched);
    if (matches && widget->rect().contains(mouse->position().toPoint()) && m_onRelease) {
        m_onRelease(button == Qt::LeftButton ? TrayMouse::LeftUp : TrayMouse::RightUp);
    }
    return true;
}

}  // namespace halvern::platform
