#include "platform/qt/QtTray.h"

#include "platform/qt/TrayReleaseFilter.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QFileInfo>
#include <QMenu>
#include <QSystemTrayIcon>
#include <string_view>

namespace halvern::platform {

QtTray::QtTray(const std::string& appFolder, std::optional<bool> statusNotifierHost)
    : m_normal(QString::fromStdString(appFolder + "/zorvik.png")),
      m_gray(QString::fromStdString(appFolder + "/zorvik-gray.png")),
      m_disable(QString::fromStdString(appFolder + "/zorvik-disabled.png")),
      m_icon(std::make_unique<QSystemTrayIcon>()),
      m_releases(std::make_unique<TrayReleaseFilter>(TrayReleaseFilter::isXEmbedIconWindow,
                                                     [this](TrayMouse event) {
                                                         if (onMouse) {
                                                             onMouse(event);
                                                         }
                                                     })),
      // Asked of the bus only when the caller did not say.
      m_statusNotifier(statusNotifierHost ? *statusNotifierHost : statusNotifierHostOnBus()) {
    // The icon's XEmbed window comes and goes with the tray host, so the whole application is
    // watched; the filter lets everything but the presses and releases on that window pass.
    QCoreApplication::instance()->installEventFilter(m_releases.get());
    // On a StatusNotifierItem host the host reports the click, on release.
    QObject::connect(m_icon.get(), &QSystemTrayIcon::activated, m_icon.get(),
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (!onMouse) {
                             return;
                         }
                         if (reason == QSystemTrayIcon::Trigger) {
                             onMouse(TrayMouse::LeftUp);
                         } else if (reason == QSystemTrayIcon::Context && !m_menuHandedOver) {
                             onMouse(TrayMouse::RightUp);
                         }
                     });
}

QtTray::~QtTray() {
    QCoreApplication::instance()->removeEventFilter(m_releases.get());
}

bool QtTray::statusNotifierHostOnBus() {
    // Without a session bus there is no host; asking would make the bus library try to start
    // one for the X display.
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (address.isEmpty() && (runtime.isEmpty() || !QFileInfo::exists(runtime + "/bus"))) {
        return false;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(watcher).value()) {
        return false;
    }
    QDBusInterface properties(watcher, QStringLiteral("/StatusNotifierWatcher"), watcher, bus);
    return properties.property("IsStatusNotifierHostRegistered").toBool();
}

bool QtTray::handOverMenu(QMenu& menu) {
    if (!m_statusNotifier) {
        return false;
    }
    // The host draws the menu from its entries, so whatever the program's state allows shows
    // in it: under the settings lock only the entry that opens the settings window.
    m_icon->setContextMenu(&menu);
    m_menuHandedOver = true;
    return true;
}

QIcon QtTray::icon(TrayPicture picture) const {
    switch (picture) {
        case TrayPicture::Gray:
            return m_gray;
        case TrayPicture::Disable:
            return m_disable;
        case TrayPicture::Normal:
        case TrayPicture::On:
            break;
    }
    return m_normal;
}

bool QtTray::add(TrayPicture picture, const std::string& tip) {
    apply(picture, tip);
    m_icon->show();
    m_added = QSystemTrayIcon::isSystemTrayAvailable();
    return m_added;
}

bool QtTray::modify(TrayPicture picture, const std::string& tip) {
    apply(picture, tip);
    // As with the old notification area, only an icon that was added can change.
    return m_added && m_icon->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTray::remove() {
    m_icon->hide();
    m_added = false;
}

void QtTray::apply(TrayPicture picture, const std::string& tip) {
    // The icon keeps what it was given: an unchanged picture or tip costs no repaint of the tray.
    const QIcon& shown = icon(picture);
    if (!m_applied || shown.cacheKey() != m_icon->icon().cacheKey()) {
        m_icon->setIcon(shown);
    }
    // The tip field is padded with blanks to its fixed width; the padding means nothing here.
    std::size_t end = tip.size();
    while (end > 0 && tip[end - 1] == ' ') {
        --end;
    }
    if (!m_applied || std::string_view(tip).substr(0, end) != m_tip) {
        m_tip.assign(tip, 0, end);
        m_icon->setToolTip(QString::fromStdString(m_tip));
    }
    m_applied = true;
}

}  // namespace halvern::platform
