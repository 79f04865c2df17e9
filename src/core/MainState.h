#pragma once

#include <cstdint>
#include <string>

namespace halvern::core {

/// The product's display name, which many messages put in front of their text.
inline constexpr const char* kServiceName = "Zorvik";
/// The main window's caption: the service name, the product line and the version.
inline constexpr const char* kMainCaption = "Zorvik Popup Blocker Ad Stopper v4.2.8";
/// The application name of the per-user store's messages and settings.
inline constexpr const char* kUserStoreApp = "Zorvik";
inline constexpr const char* kPublisherApp = "KorvaneSoft";

/// The main window's state that several subsystems share: the stored settings, the counters and
/// the run-time switches. Each member is named as the setting or member it mirrors.
struct MainState {
    /// True from the start of the load to its end; option handlers, Save and the tray's exit do
    /// nothing meanwhile.
    bool bLoadingSettings = false;

    // Stored settings (zorvik.ini, [Settings]).
    std::string ngOnOff, ngCloseBrowser, ngIEWhiteList, ngBlockByTitle;
    bool bMinimized = false;
    bool bAutoDownload = true;
    bool bBannerSound = true;
    bool bPopSound = true;
    std::string BannerSound, PopSound;
    std::string ProxyName, ProxyPort;
    /// The update server's address, "" for the one built in.
    std::string UpdateServer;
    std::int32_t nTotBlocked = 0;
    std::string DateUpdate = "1/1/2001";
    bool bHostsFullySet = false;
    bool bBlockAdServers = true;
    bool bBlockIEPopups = true;

    // Counters.
    std::int32_t nBlockedToday = 0;
    std::int32_t nTotalAdServers = 0;
    std::int16_t nDefaultAdServers = 0;
    std::int16_t nUserAdServers = 0;

    // Run-time switches.
    bool bTempSoundOff = false;
    bool bTempPopsAllowed = false;
    bool bInTray = false;
    bool bIconAdded = false;
    bool bWebServerOn = false;
    /// Set as the exit begins: from then on no step of the start runs and nothing is written but
    /// the exit's own steps (the exit can run inside a nested loop of the start).
    bool bExiting = false;
    std::string strLastHost, strLastAgent;
};

}  // namespace halvern::core
