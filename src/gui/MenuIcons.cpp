#include "gui/MenuIcons.h"

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QStyle>
#include <map>
#include <memory>

#include "forms/MenuItem.h"
#include "gui/Bindings.h"

namespace halvern::gui {

QIcon MenuIcons::icon(const std::string& key) {
    struct Picture {
        const char* themeName;
        QStyle::StandardPixmap fallback;
    };
    static const std::map<std::string, Picture> pictures = {
        {"save", {"document-save", QStyle::SP_DialogSaveButton}},
        {"stop", {"process-stop", QStyle::SP_BrowserStop}},
        {"email", {"mail-send", QStyle::SP_MessageBoxInformation}},
        {"sendinfo", {"mail-forward", QStyle::SP_ArrowForward}},
        {"palette", {"preferences-desktop-theme", QStyle::SP_DesktopIcon}},
        {"network", {"network-workgroup", QStyle::SP_DriveNetIcon}},
        {"sound", {"audio-volume-high", QStyle::SP_MediaVolume}},
        {"help", {"help-browser", QStyle::SP_DialogHelpButton}},
        {"checklist", {"view-list-details", QStyle::SP_FileDialogDetailedView}},
        {"gear", {"preferences-system", QStyle::SP_ComputerIcon}},
        {"graph", {"utilities-system-monitor", QStyle::SP_FileDialogInfoView}},
        {"block", {"dialog-cancel", QStyle::SP_DialogCancelButton}},
    };
    const auto it = pictures.find(key);
    if (it == pictures.end()) {
        return {};
    }
    return QIcon::fromTheme(QString::fromLatin1(it->second.themeName),
                            QApplication::style()->standardIcon(it->second.fallback));
}

void MenuIcons::follow(Bindings& bindings, forms::MenuItem& entry, QAction& action) {
    auto shown = std::make_shared<std::string>();
    const auto sync = [&entry, alive = QPointer<QAction>(&action), shown] {
        if (alive && *shown != entry.icon()) {
            *shown = entry.icon();
            alive->setIcon(icon(*shown));
        }
    };
    sync();
    bindings.watch(entry.changed(), sync);
}

}  // namespace halvern::gui
