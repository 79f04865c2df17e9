// The main window's tool tips: those the owners of the controls quote, and the help texts of
// the others. The settings window copies a control's tip into its help line as the mouse moves
// over it.

#include <string>

#include "forms/MainForm.h"

namespace halvern::forms {

void MainForm::setToolTips() {
    // " Ad Types"
    chkIEPops.setToolTip(
        "This software integrates with Internet Explorer to give EXTRA protection for blocking "
        "unsolicited popup ads.  This setting has no effect for other browsers.");
    chkAdServers.setToolTip(
        "Block Banner Ads.  The software will block all ads from the list of known ad servers.  "
        "This includes banners as well as some popular popup ad servers like "
        "ad.doubleclick.net.");
    chkJavaPops.setToolTip(
        "This will block all new browser windows (even useful ones).  This setting will prevent "
        "100% of new browser windows that open.");
    // The browser options of the old browser: on Linux they are kept, and read back, in the
    // program's own registry file, and Chromium takes its policies from system-wide folders only.
    const std::string keptOnly =
        "  On Linux this is kept only in this software's own registry file, in your "
        "configuration folder (~/.config/halvern), and changes nothing in Chromium, which reads "
        "its policies only from system-wide folders";
    chkDisableScriptDebuggingInIE.setToolTip(
        "Turns off the browser's script debugger, which asks to debug every faulty page." +
        keptOnly + " and has no script-error prompt.");
    chkDisableNotificationScriptErrorIE.setToolTip(
        "Lets the browser show a notification for every script error in a page." + keptOnly +
        " and has no script-error prompt.");
    chkFlashIE.setToolTip(
        "Stops Flash animations in web pages.  Many banner ads are made with Flash." + keptOnly +
        " and has no Flash.");
    chkPlayAnimationinWebPagesIE.setToolTip(
        "Uncheck this to keep animated pictures in web pages from moving." + keptOnly + ".");
    chkMessenger.setToolTip(
        "Linux has no Messenger service, so this option has no effect: clicking it only says "
        "so.");

    // " Startup"
    chkStartup.setToolTip(
        "Starts this software whenever you log in, so that ads are blocked from the start: it "
        "puts an autostart entry in ~/.config/autostart, which your desktop session starts at "
        "login.  While this is checked, the list of ad servers stays in /etc/hosts when this "
        "software exits.");
    chkRunIE.setToolTip(
        "This should only be set if you use Internet Explorer.  Setting this option causes the "
        "software  to run only when you open an IE browser window.  ");
    chkIEToolBar.setToolTip(
        "Puts a button on the browser's tool bar that opens these settings.  On Linux the button "
        "is kept only in this software's own registry file, in your configuration folder "
        "(~/.config/halvern); no Linux browser reads it.");
    chkAuto.setToolTip(
        "Every few times this software runs, it checks to see if new Ad Configuration data is "
        "needed.  You can uncheck this and simply click the \"Download\" button below to "
        "manually get the most recent ad blocking data.");
    const char* download =
        "This downloads a list of ad servers that this software will block.  It also downloads "
        "any removals (ad servers that are no longer active).";
    cmdData2.setToolTip(download);

    // "Log History"
    cmdLog.setToolTip(
        "Click here to see the ads blocked most recently, and to allow any of them from now on.");

    // " Sounds"
    chkPopSound.setToolTip(
        "This setting turns on/off popup ad  blocking sounds.  You can Browse and pick and *.wav "
        "file on your computer.  Several ad sounds ship with this software.");
    chkBannerSound.setToolTip(
        "This setting turns on/off banner ad blocking sounds.  You can Browse and pick and *.wav "
        "file on your computer.  Several ad sounds ship with this software.");

    // " Other / Password"
    cmdReset.setToolTip("Sets the number of ads blocked to date back to zero.");
    cmdData.setToolTip(download);
    cmdTestConn.setToolTip(
        "Just tests to make sure you are able to connect and download ad blocking data from the "
        "Internet Ad Blocking Data Site.");
    cmdNew.setToolTip("Checks whether a newer version of this software is available.");

    // " Status"
    frameAdStats.setToolTip(
        "How many ads were blocked today and to date, and how many ad servers are on the list.");
    frameRecentAd.setToolTip("The kind of the ad blocked most recently, and its page.");

    // " Allow (whitelist)"
    lblLastTitle.setToolTip(
        "Click here to ALLOW a popup window that was closed because of its window title.");
    lblAllowServer.setToolTip(
        "Click here to ALLOW all content from the named ad server (domain).  You can add and "
        "remove domains to block (i.e. ad.doubleclick.net)");
    lblLastIEPop.setToolTip(
        "Click here to ALLOW popups from a given site name or URL (web address).");
    cmdAllowIEPop.setToolTip("Click here to choose the sites (URLs) whose popup windows may open.");
    cmdAllowTitle.setToolTip(
        "Click here to allow popup windows by title that should not have been closed.");
    cmdAllow.setToolTip(
        "Click here to select ad servers that you want to allow (don't want to block anymore)");

    // " Block (blacklist)"
    cmdPopupTitles.setToolTip(
        "Click here to add a text: windows whose title contains it are closed.");
    cmdAddSites.setToolTip(
        "Click here to add server (domain names like ad.doubleclick.net) to the ad blocking "
        "list.");

    // " Spyware"
    cmdSpyWare.setToolTip(
        "Click on this button to view and configure the known list of Spyware and AdWare "
        "programs detected by this software.");

    // Developer zone and picture
    cmdGuessProxy2.setToolTip(
        "Click here if you use Internet Explorer.  It should correctly read in the proxy server "
        "information you have configured.  if Zorvik complains about connection errors, clear "
        "out the proxy server name and save the program settings and try it that way (with no "
        "proxy server name).");
    picOn.setToolTip("Click here for online help.");
}

}  // namespace halvern::forms
