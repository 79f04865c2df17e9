#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "platform/Tray.h"

namespace halvern::platform {

/// Reports the tray icon's clicks as the mouse button is released. On an XEmbed tray (the icon
/// is a small window of ours inside the tray host) Qt reports a click as the button goes down,
/// so a menu would pop up under a button still held and a left click would raise the window
/// before the user let go. Installed on the application, it takes the presses on the icon's
/// window (so Qt reports nothing) and reports the matching release inside the icon instead. On
/// a StatusNotifierItem host there is no such window and Qt's own report stands.
class TrayReleaseFilter final : public QObject {
public:
    /// isIconWindow tells the icon's window among all objects; onRelease gets each click.
    TrayReleaseFilter(std::function<bool(const QObject*)> isIconWindow,
                      std::function<void(TrayMouse)> onRelease);

    /// Whether an object is Qt's XEmbed tray icon window.
    static bool isXEmbedIconWindow(const QObject* object);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<bool(const QObject*)> m_isIconWindow;
    std::function<void(TrayMouse)> m_onRelease;
    /// The button pressed on the icon and not yet released, and the window it went down on.
    Qt::MouseButton m_pressed = Qt::NoButton;
    QPointer<QObject> m_pressedOn;
};

}  // namespace halvern::platform
