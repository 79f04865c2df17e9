#include "forms/MainForm.h"

#include <string>

namespace halvern::forms {

MainForm::MainForm() {
    mnuFile.setChildren({&mnuFileOpen, &mnuFileSave, &mnuFileExit});
    mnuFileSave.setShortcut("Ctrl+S");
    mnuSettings.setChildren(
        {&mnuOptionsTellFriend, &mnuUpdate, &mnuVersion, &mnuTest, &mnuSettingsReset});
    mnuUpdate.setShortcut("Ctrl+D");
    mnuVersion.setShortcut("Ctrl+N");
    mnuHelpUninstall.setChildren({&mnuUninstallFeedback, &mnuUninstallUninstall});
    mnuHelp.setChildren(
        {&mnuHelpTut, &mnuHelpFeedback, &mnuHelpWeb, &mnuHelpReadMe, &mnuHelpAbout});
    mnuTray.setChildren({&mnuTraySettings, &mnuTrayFeedback, &mnuTrayTellFriend, &mnuTrayStats,
                         &mnuSPC1, &mnuTrayAllow, &mnuTrayLastPop, &mnuTrayLastIEPop, &mnuSPC2,
                         &mnuTrayBlock, &mnuTrayBlockTitle, &mnuTrayPopups, &mnuTraySound, &mnuSPC3,
                         &mnuTrayExit, &mnuTrayCloseBrowser, &mnuTrayClose});
    mnuTrayPopups.setChecked(true);
    mnuTraySound.setChecked(true);

    for (ComboBox* combo : {&cmbOnOff, &cmbIEWhiteList, &cmbBlockByTitle, &cmbCloseBrowser}) {
        combo->addItem("none");
        for (int key = 1; key <= 12; ++key) {
            combo->addItem("F" + std::to_string(key));
        }
    }
    ProgressBar1.setVisible(false);
    lblAllow1.setVisible(false);
    chkAuto.setChecked(true);
    txtPass.setPasswordChar("*");
    txtNewPass.setPasswordChar("*");

    setToolTips();
}

std::vector<MainForm::HotKeyRow> MainForm::hotKeyRows() {
    return {
        {"Internet Explorer Popup blocking on and off.  ", &cmbOnOff, &lblOnOff},
        {"Allow recently blocked popups - White List any site or URL to allow popups from that "
         "site.",
         &cmbIEWhiteList, &lblIEWhiteList},
        {"Block or Allow Popup Windows by Title - You can add, modify, or remove windows that "
         "Zorvik watches to close.",
         &cmbBlockByTitle, &lblBlockByTitle},
        {"BOSS KEY: Close All open IE and Netscape browser windows. ", &cmbCloseBrowser,
         &lblCloseBrowser},
    };
}

}  // namespace halvern::forms
