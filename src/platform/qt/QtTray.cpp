#include "platform/qt/QtTray.h"

#include <QSystemTrayIcon>

namespace halvern::platform {

QtTray::QtTray(const std::string& appFolder)
    : m_normal(QString::fromStdString(appFolder + "/zorvik.png")),
      m_gray(QString::fromStdString(appFolder + "/zorvik-gray.png")),
      m_disable(QString::fromStdString(appFolder + "/zorvik-disabled.png")),
      m_icon(std::make_unique<QSystemTrayIcon>()) {
    QObject::connect(m_icon.get(), &QSystemTrayIcon::activated, m_icon.get(),
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (!onMouse) {
                             return;
                         }
                         if (reason == QSystemTrayIcon::Trigger) {
                             onMouse(TrayMouse::LeftUp);
                         } else if (reason == QSystemTrayIcon::Context) {
                             onMouse(TrayMouse::RightUp);
                         }
                     });
}

QtTray::~QtTray() = default;

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
    m_icon->setIcon(icon(picture));
    // The tip field is padded with blanks to its fixed width; the padding means nothing here.
    const QString text = QString::fromStdString(tip);
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == ' ') {
        --end;
    }
    m_icon->setToolTip(text.left(end));
}

}  // namespace halvern::platform
