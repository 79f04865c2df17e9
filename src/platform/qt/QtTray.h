#pragma once

#include <QIcon>
#include <QString>
#include <memory>
#include <optional>
#include <string>

#include "platform/Tray.h"

class QMenu;
class QSystemTrayIcon;

namespace halvern::platform {
class TrayReleaseFilter;
}

namespace halvern::platform {

/// The tray icon as a QSystemTrayIcon, with its pictures read from the program folder:
/// zorvik.png (normal and on), zorvik-gray.png (gray), zorvik-disabled.png (disable). Its clicks
/// are reported as the button is released, on an XEmbed tray as on a StatusNotifierItem host.
class QtTray final : public Tray {
public:
    /// statusNotifierHost: whether the tray is a StatusNotifierItem host; by default asked of
    /// the session bus, as Qt does when it chooses how to show the icon.
    explicit QtTray(const std::string& appFolder,
                    std::optional<bool> statusNotifierHost = std::nullopt);
    ~QtTray() override;
    QtTray(const QtTray&) = delete;
    QtTray& operator=(const QtTray&) = delete;

    bool add(TrayPicture picture, const std::string& tip) override;
    bool modify(TrayPicture picture, const std::string& tip) override;
    void remove() override;

    /// The picture the icon shows for a state, for the windows' own icons.
    QIcon icon(TrayPicture picture) const;

    /// Hands the tray menu to a StatusNotifierItem host, which shows it itself on a right click
    /// (some hosts never pass the click on); its right clicks are then no longer reported. On
    /// an XEmbed tray nothing changes: the program shows the menu. True when handed over.
    bool handOverMenu(QMenu& menu);
    /// True when the tray is a StatusNotifierItem host.
    bool statusNotifierHost() const { return m_statusNotifier; }
    /// True when a StatusNotifierItem host on the session bus shows tray icons.
    static bool statusNotifierHostOnBus();

private:
    void apply(TrayPicture picture, const std::string& tip);

    QIcon m_normal;
    QIcon m_gray;
    QIcon m_disable;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    std::unique_ptr<TrayReleaseFilter> m_releases;
    bool m_added = false;
    bool m_statusNotifier = false;
    bool m_menuHandedOver = false;
    /// True once a picture and tip were given; m_tip is the tip shown, without its padding.
    bool m_applied = false;
    std::string m_tip;
};

}  // namespace halvern::platform
