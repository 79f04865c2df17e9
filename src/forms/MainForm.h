#pragma once

#include <vector>

#include "forms/Button.h"
#include "forms/CheckBox.h"
#include "forms/ComboBox.h"
#include "forms/Form.h"
#include "forms/Frame.h"
#include "forms/Label.h"
#include "forms/ListBox.h"
#include "forms/MenuItem.h"
#include "forms/ProgressBar.h"
#include "forms/TabControl.h"
#include "forms/TextBox.h"

namespace halvern::forms {

using forms::Button;
using forms::CheckBox;
using forms::ComboBox;
using forms::Label;
using forms::MenuItem;
using forms::TextBox;

/// The main window, which is also the settings window: its tabs, menus, tray menu and developer
/// zone, with every control named and captioned as the user sees it. It holds no behaviour.
struct MainForm {
    MainForm();
    MainForm(const MainForm&) = delete;
    MainForm& operator=(const MainForm&) = delete;

    /// Tab indices of `A`.
    enum Tab {
        kTabAdTypes = 0,
        kTabStartup,
        kTabLogHistory,
        kTabSounds,
        kTabOtherPassword,
        kTabStatus,
        kTabAllow,
        kTabBlock,
        kTabHotKeys,
        kTabHelp,
        kTabSpyware
    };

    forms::Form frmMain{"frmMain", "Zorvik"};
    forms::TabControl A{
        "A",
        {" Ad Types", " Startup", "Log History", " Sounds", " Other / Password", " Status",
         " Allow (whitelist)", " Block (blacklist)", " Hot Keys", " Help", " Spyware"}};
    forms::ProgressBar ProgressBar1{"ProgressBar1"};
    Label lblHelpText{"lblHelpText",
                      "* Hold down the ALT or CTRL (control) key while clicking to temporarily "
                      "allow popup windows to open."};

    // " Ad Types"
    CheckBox chkIEPops{"chkIEPops", "Block Internet Explorer Popup Ads"};
    CheckBox chkAdServers{
        "chkAdServers", "Block Banner Ads and Many Popup Ads (using the list of known ad servers)"};
    CheckBox chkJavaPops{"chkJavaPops",
                         "Block ALL new Internet Explorer popup windows (maximum protection)"};
    CheckBox chkMessenger{"chkMessenger", "Disable Messenger Service Popup ads."};
    Label lblSpyWare{"lblSpyWare",
                     "Click here to block certain 'SpyWare' programs from serving ads."};
    Label lblWebPagePops{"lblWebPagePops", "Click here to block 'Web Page Dialog' popup ads."};
    Label lblMessengerPops{"lblMessengerPops",
                           "Click here to block 'Messenger Service' Popup Ads."};
    Label lblList{"lblList", "host list"};
    Label Label4{"Label4", "Choose the kinds of ads to block:"};
    CheckBox chkDisableScriptDebuggingInIE{"chkDisableScriptDebuggingInIE",
                                           "Disable Script Debugging"};
    CheckBox chkDisableNotificationScriptErrorIE{"chkDisableNotificationScriptErrorIE",
                                                 "Show Script Error Notifications"};
    CheckBox chkFlashIE{"chkFlashIE", "Disable Macromedia Flash Ads"};
    CheckBox chkPlayAnimationinWebPagesIE{"chkPlayAnimationinWebPagesIE",
                                          "Play Animation in Web Pages"};
    Button Command3{"Command3", "Security Rating"};

    // " Startup"
    Label lblStatus{"lblStatus", "Please Wait while the software initializes..."};
    CheckBox chkStartup{"chkStartup", "Start when Windows Starts "};
    CheckBox chkRunIE{"chkRunIE",
                      "Activate only when Internet Explorer is running -- set this ONLY if you use "
                      "Internet Explorer!"};
    CheckBox chkIEToolBar{"chkIEToolBar",
                          "Display the settings button on the Internet Explorer tool bar"};
    CheckBox chkAuto{"chkAuto",
                     "Automatically Download Ad Blocking Data from the Internet (every few days)"};
    Button cmdData2{"cmdData2", "Download"};

    // "Log History"
    Button cmdLog{"cmdLog", "Logging"};

    // " Sounds"
    CheckBox chkPopSound{"chkPopSound", "When Popup Ads Blocked, play sound:"};
    TextBox txtPopWav{"txtPopWav"};
    Button cmdBrowsePop{"cmdBrowsePop", "Browse"};
    Button cmdTestPop{"cmdTestPop", "Test Sound"};
    CheckBox chkBannerSound{"chkBannerSound", "When Ads Blocked, play sound:"};
    TextBox txtBannerWav{"txtBannerWav"};
    Button cmdBrowseAd{"cmdBrowseAd", "Browse..."};
    Button cmdTestAd{"cmdTestAd", "Test Sound"};

    // " Other / Password"
    Label lblSetPass{"lblSetPass", "Type in a password:"};
    TextBox txtPass{"txtPass"};
    Button cmdPass{"cmdPass", "Set Password"};
    Label lblNewPass{"lblNewPass", "Type in a new password:"};
    TextBox txtNewPass{"txtNewPass"};
    Button cmdNewPass{"cmdNewPass", "Set New Password"};
    Label lblPassHelp{"lblPassHelp",
                      "If you set a password, only you will be able to change configuration "
                      "settings."};
    forms::Frame frameOtherOptions{"frameOtherOptions", "Other Options:"};
    Button cmdReset{"cmdReset", "Reset"};
    Label lblreset{"lblreset", "Reset the number of ads blocked to zero."};
    Button cmdData{"cmdData", "Download"};
    Label lbldownload{"lbldownload", "Download the latest ad blocking data now."};
    Button cmdTestConn{"cmdTestConn", "Connect"};
    Label lblconnect{"lblconnect", "Test the connection to the ad definition server."};
    Button cmdNew{"cmdNew", "New?"};
    Label lblNewV{"lblNewV", "Check for a newer version."};

    // " Status"
    forms::Frame frameAdStats{"frameAdStats", "Ad Blocking Statistics"};
    forms::Frame frameRecentAd{"frameRecentAd", "Most Recenty Blocked Ad:"};
    Label lblDateUpdate{"lblDateUpdate", "Last Data Update: Never"};
    Label lblTotHosts{"lblTotHosts", "0"};
    Label lblTotBlocked{"lblTotBlocked", "0"};
    Label lbltot{"lbltot", "0"};
    Label lbltype{"lbltype", ""};
    Label lblpage{"lblpage", ""};
    Button cmdMiniStats{"cmdMiniStats", "Mini Stats"};

    // " Allow (whitelist)"
    Label lblLastTitle{"lblLastTitle", "No Popup Windows have been closed by Window Title yet."};
    Label lblLastTitle1{"lblLastTitle1",
                        "You can have this software close ANY window based on the text in the "
                        "window title (the text in the blue bar on every window)"};
    Label lblAllowServer{"lblAllowServer", "No Ads have been blocked by 'Ad Server Name' yet."};
    Label lblAllow1{"lblAllow1", ""};
    Label lblLastIEPop{"lblLastIEPop", "No Internet Explorer Popups have been blocked yet."};
    Label lblLastIEPop1{"lblLastIEPop1", ""};
    Button cmdAllowIEPop{"cmdAllowIEPop", "Allow IE Popups by URL (WhiteList)"};
    Button cmdAllowTitle{"cmdAllowTitle", "Allow Popups by Window Title"};
    Button cmdAllow{"cmdAllow", "Allow Ads by Ad Server Name"};

    // " Block (blacklist)"
    Button cmdPopupTitles{"cmdPopupTitles", "Block Popups by Window Title"};
    Button cmdAddSites{"cmdAddSites", "Block Ads by Ad Server Name"};
    Label Label26{"Label26", "Click here to block certain 'SpyWare' programs from serving ads."};

    // " Hot Keys": one row per command
    ComboBox cmbOnOff{"cmbOnOff"};
    ComboBox cmbIEWhiteList{"cmbIEWhiteList"};
    ComboBox cmbBlockByTitle{"cmbBlockByTitle"};
    ComboBox cmbCloseBrowser{"cmbCloseBrowser"};
    Label lblOnOff{"lblOnOff", "---"};
    Label lblIEWhiteList{"lblIEWhiteList", "---"};
    Label lblBlockByTitle{"lblBlockByTitle", "---"};
    Label lblCloseBrowser{"lblCloseBrowser", "---"};

    // " Help"
    Button cmdFeedback{"cmdFeedback", "Feedback"};
    Button cmdHelpOnline{"cmdHelpOnline", "Audio Help"};
    Label lblhelpaudio{"lblhelpaudio", "Listen to recorded help."};

    // " Spyware"
    Button cmdSpyWare{"cmdSpyWare", "SpyWare"};
    Label lbladaware{"lbladaware", "Spyware removal tools"};

    // Developer zone, beyond the window's fixed size.
    Button cmdIni{"cmdIni", "ZVH"};
    Button Command1{"Command1", "HF"};
    Button Command2{"Command2", "HB"};
    Button cmdOn{"cmdOn", "WSVR ON"};
    Button cmdOff{"cmdOff", "WSVR Off"};
    Button cmdRemoval{"cmdRemoval", "HRem"};
    Button cmdTestDomains{"cmdTestDomains", "TestDomains"};
    TextBox txtKillExe{"txtKillExe", "notepad.exe"};
    Button cmdKill{"cmdKill", "kill exe"};
    Button cmdClear{"cmdClear", "Debug"};
    CheckBox chkDebug{"chkDebug", "Extra Debug"};
    TextBox txtStatus{"txtStatus", "Popup Status Information\r\n"};
    Button cmdContextHelp{"cmdContextHelp", "Startup Help"};
    Label lblWS{"lblWS", ""};
    Label LblKeyName{"LblKeyName", ""};
    Label lblaltkey{"lblaltkey", ""};
    Label LblAsciiCode{"LblAsciiCode", ""};
    Label LblKeybCode{"LblKeybCode", ""};
    Label LblVKeycode{"LblVKeycode", ""};
    TextBox txtProxyName{"txtProxyName"};
    Button cmdGuessProxy2{"cmdGuessProxy2", "Lookup"};
    /// The program's picture on the window; a click opens the online help.
    Label picOn{"picOn", ""};
    /// Double-clicks on Label4 and clicks on the help line; above 4 the window may be enlarged
    /// and shows the developer zone.
    int nDebugClicks = 0;
    forms::Signal developerZoneChanged;

    // Main menu
    MenuItem mnuFile{"mnuFile", "&File"};
    MenuItem mnuFileOpen{"mnuFileOpen", "&Open blocked Hosts List"};
    MenuItem mnuFileSave{"mnuFileSave", "&Save Program Settings"};
    MenuItem mnuFileExit{"mnuFileExit", "&Exit AND stop blocking Ads"};
    MenuItem mnuSettings{"mnuSettings", "&Options"};
    MenuItem mnuOptionsTellFriend{"mnuOptionsTellFriend",
                                  "Tell a friend about this software (thank you!)..."};
    MenuItem mnuUpdate{"mnuUpdate", "&Download Latest Ad Blocking Data"};
    MenuItem mnuVersion{"mnuVersion", "&Check for newer version"};
    MenuItem mnuTest{"mnuTest", "&Test Connection to ad definition server"};
    MenuItem mnuSettingsReset{"mnuSettingsReset", "&Reset Number of Ads Blocked Statistics"};
    MenuItem mnuHelpUninstall{"mnuHelpUninstall", "&Uninstall Help!"};
    MenuItem mnuUninstallFeedback{"mnuUninstallFeedback",
                                  "Please Tell us why first.  Thank you..."};
    MenuItem mnuUninstallUninstall{"mnuUninstallUninstall", "Uninstall Instructions..."};
    MenuItem mnuHelp{"mnuHelp", "&Help"};
    MenuItem mnuHelpTut{"mnuHelpTut", "&Audio Help - MP3 recorded help"};
    MenuItem mnuHelpFeedback{"mnuHelpFeedback", "Send &Feedback or Ask Question..."};
    MenuItem mnuHelpWeb{"mnuHelpWeb", "&Help Online from the Internet"};
    MenuItem mnuHelpReadMe{"mnuHelpReadMe", "&Readme.txt"};
    MenuItem mnuHelpAbout{"mnuHelpAbout", "&About"};

    // Tray menu
    MenuItem mnuTray{"mnuTray", "mnuTray"};
    MenuItem mnuTraySettings{"mnuTraySettings", "&Display Program Settings"};
    MenuItem mnuTrayFeedback{"mnuTrayFeedback",
                             "&Audio Help - MP3 recorded help from the Internet"};
    MenuItem mnuTrayTellFriend{"mnuTrayTellFriend",
                               "Tell a friend about this software (thank you!)"};
    MenuItem mnuTrayStats{"mnuTrayStats", "&Show Small Statistics &Window "};
    MenuItem mnuSPC1{"mnuSPC1", "-"};
    MenuItem mnuTrayAllow{"mnuTrayAllow", "Allow specific ad servers"};
    MenuItem mnuTrayLastPop{"mnuTrayLastPop",
                            "Allow the most recent blocked popup (by Window Title)"};
    MenuItem mnuTrayLastIEPop{"mnuTrayLastIEPop", "Allow the most recent popup (based on URL)"};
    MenuItem mnuSPC2{"mnuSPC2", "-"};
    MenuItem mnuTrayBlock{"mnuTrayBlock", "&Block Specific ad servers"};
    MenuItem mnuTrayBlockTitle{"mnuTrayBlockTitle", "Block Specific Popup Windows by Title"};
    MenuItem mnuTrayPopups{"mnuTrayPopups",
                           "Block Popup Ads - ON (uncheck to temporarily allow popups)"};
    MenuItem mnuTraySound{"mnuTraySound",
                          "Ad Blocking sounds - ON (uncheck to temporarily turn off sounds)"};
    MenuItem mnuSPC3{"mnuSPC3", "-"};
    MenuItem mnuTrayExit{"mnuTrayExit", "&Exit AND stop blocking ads"};
    MenuItem mnuTrayCloseBrowser{"mnuTrayCloseBrowser",
                                 "Close ALL Open Browser Windows (Netscape && IE)"};
    MenuItem mnuTrayClose{"mnuTrayClose", "&CLOSE THIS MENU"};
    /// Asks the view to pop the tray menu up at the mouse.
    forms::Signal trayMenuRequested;

    /// The menu bar's top-level menus, left to right.
    std::vector<MenuItem*> menuBar() {
        return {&mnuFile, &mnuSettings, &mnuHelpUninstall, &mnuHelp};
    }
    /// The four hot-key drop-down lists with their key labels, in the order of the " Hot Keys"
    /// rows.
    struct HotKeyRow {
        const char* description;
        ComboBox* combo;
        Label* label;
    };
    std::vector<HotKeyRow> hotKeyRows();

private:
    /// The tool tips, which the help line also shows as the mouse moves over their controls.
    void setToolTips();
};

}  // namespace halvern::forms
