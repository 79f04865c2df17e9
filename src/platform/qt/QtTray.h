#pragma once

#include <QIcon>
#include <QString>
#include <memory>
#include <string>

#include "platform/Tray.h"

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
    explicit QtTray(const std::string& appFolder);
    ~QtTray() override;
    QtTray(const QtTray&) = delete;
    QtTray& operator=(const QtTray&) = delete;

    bool add(TrayPicture picture, const std::string& tip) override;
    bool modify(TrayPicture picture, const std::string& tip) override;
    void remove() override;

    /// The picture the icon shows for a state, for the windows' own icons.
    QIcon icon(TrayPicture picture) const;

private:
    void apply(TrayPicture picture, const std::string& tip);

    QIcon m_normal;
    QIcon m_gray;
    QIcon m_disable;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    std::unique_ptr<TrayReleaseFilter> m_releases;
    bool m_added = false;
    /// True once a picture and tip were given; m_tip is the tip shown, without its padding.
    bool m_applied = false;
    std::string m_tip;
};

}  // namespace halvern::platform
