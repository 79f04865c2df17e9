#include "ui/MenuIcons.h"

#include <utility>

namespace halvern::ui {

void SetMenuIcons(forms::MainForm& f) {
    const std::pair<forms::MenuItem*, const char*> icons[] = {
        {&f.mnuFileOpen, "checklist"},
        {&f.mnuFileSave, "save"},
        {&f.mnuFileExit, "stop"},
        {&f.mnuOptionsTellFriend, "email"},
        {&f.mnuUpdate, "network"},
        {&f.mnuVersion, "gear"},
        {&f.mnuTest, "network"},
        {&f.mnuSettingsReset, "graph"},
        {&f.mnuUninstallFeedback, "sendinfo"},
        {&f.mnuUninstallUninstall, "gear"},
        {&f.mnuHelpTut, "sound"},
        {&f.mnuHelpFeedback, "sendinfo"},
        {&f.mnuHelpWeb, "help"},
        {&f.mnuHelpReadMe, "checklist"},
        {&f.mnuHelpAbout, "help"},
        {&f.mnuTraySettings, "gear"},
        {&f.mnuTrayFeedback, "sound"},
        {&f.mnuTrayTellFriend, "email"},
        {&f.mnuTrayStats, "graph"},
        {&f.mnuTrayAllow, "checklist"},
        {&f.mnuTrayBlock, "block"},
        {&f.mnuTrayBlockTitle, "block"},
        {&f.mnuTrayExit, "stop"},
    };
    for (const auto& [entry, key] : icons) {
        entry->setIcon(key);
    }
}

}  // namespace halvern::ui
