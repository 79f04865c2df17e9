#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>

#include "core/MainState.h"
#include "forms/CheckBox.h"
#include "forms/MainForm.h"

namespace halvern::core {

/// The keys of the [Settings] section of zorvik.ini, in the order Save writes them.
enum class SettingKey : std::uint8_t {
    BannerSound,
    PopSound,
    ProxyName,
    ProxyPort,
    UpdateServer,
    fOnOff,
    fCloseBrowser,
    fIEWhiteList,
    fBlockByTitle,
    bMinimized,
    bAutoDownload,
    bJavaPops,
    bRunIE,
    bStartup,
    bIEToolBar,
    bBannerSound,
    bBlockAdServers,
    bBlockIEPopups,
    bPopSound,
    bHostsFullySet,
    DateUpdate,
    nTotBlocked,
};

/// Where a setting's value lives while the program runs, its one home: a member of the shared
/// state (a text, a flag or a count), or the check box of an option that nothing else holds.
/// LoadSettings fills the home from the file and Save writes the home back.
using StateText = std::string MainState::*;
using StateFlag = bool MainState::*;
using StateCount = std::int32_t MainState::*;
using FormCheckBox = forms::CheckBox forms::MainForm::*;
using SettingHome = std::variant<StateText, StateFlag, StateCount, FormCheckBox>;

/// When Save writes a key.
enum class WriteRule : std::uint8_t {
    Always,
    /// Not an empty date, "Never" or the default date: a stored date is never replaced by a
    /// never-updated marker.
    OnlyARealDate,
    /// Only above zero: a stored total is never replaced by 0.
    OnlyAPositiveCount,
};

/// One key: its name and default are written here and nowhere else.
struct SettingEntry {
    SettingKey key;
    const char* name;
    /// The text a missing key reads as.
    const char* fallback;
    SettingHome home;
    /// A state flag's check box on the settings window: a mirror of the member, never a second
    /// home. LoadSettings sets the box from the member; the box's click handler copies the box
    /// into the member at once (for chkAdServers, AdServerBlocking's handler), so every reader
    /// and Save use the member.
    FormCheckBox mirror = nullptr;
    WriteRule rule = WriteRule::Always;
};

inline constexpr std::size_t kSettingCount = static_cast<std::size_t>(SettingKey::nTotBlocked) + 1;

// clang-format off
/// The settings, in the order Save writes them (LoadSettings reads them in its own order).
inline constexpr std::array<SettingEntry, kSettingCount> kSettings{{
    // Texts in the state. The sound text boxes txtBannerWav and txtPopWav show the paths; an
    // empty path means the program folder's ad.wav or pop.wav, applied as the settings load.
    // ProxyName is the exception: the user edits it in txtProxyName, and Save copies the box
    // into the member before writing. ProxyPort has no control.
    {SettingKey::BannerSound, "BannerSound", "", &MainState::BannerSound},
    {SettingKey::PopSound,    "PopSound",    "", &MainState::PopSound},
    {SettingKey::ProxyName,   "ProxyName",   "", &MainState::ProxyName},
    {SettingKey::ProxyPort,   "ProxyPort",   "", &MainState::ProxyPort},
    // The update server's address for this installation; empty: the one the program was built
    // with. No control shows it: it is edited in the file.
    {SettingKey::UpdateServer, "UpdateServer", "", &MainState::UpdateServer},

    // Hot keys: the function-key number as read ("0" or less: none), kept as text until a hot-key
    // control changes it. Its label, combo box and tray entry show "F" and the number.
    {SettingKey::fOnOff,        "fOnOff",        "0", &MainState::ngOnOff},
    {SettingKey::fCloseBrowser, "fCloseBrowser", "0", &MainState::ngCloseBrowser},
    {SettingKey::fIEWhiteList,  "fIEWhiteList",  "0", &MainState::ngIEWhiteList},
    {SettingKey::fBlockByTitle, "fBlockByTitle", "0", &MainState::ngBlockByTitle},

    // Flags in the state; bMinimized has no check box.
    {SettingKey::bMinimized,    "bMinimized",    "0", &MainState::bMinimized},
    {SettingKey::bAutoDownload, "bAutoDownload", "1", &MainState::bAutoDownload,
     &forms::MainForm::chkAuto},

    // Options whose only home is their check box: no member holds them, and the code that needs
    // one asks the box (the hosts-file start asks chkStartup), so Save writes the boxes.
    {SettingKey::bJavaPops,  "bJavaPops",  "0", &forms::MainForm::chkJavaPops},
    {SettingKey::bRunIE,     "bRunIE",     "0", &forms::MainForm::chkRunIE},
    {SettingKey::bStartup,   "bStartup",   "1", &forms::MainForm::chkStartup},
    {SettingKey::bIEToolBar, "bIEToolBar", "0", &forms::MainForm::chkIEToolBar},

    // Flags in the state, each shown by its check box (bHostsFullySet has none).
    {SettingKey::bBannerSound,    "bBannerSound",    "1", &MainState::bBannerSound,
     &forms::MainForm::chkBannerSound},
    {SettingKey::bBlockAdServers, "bBlockAdServers", "1", &MainState::bBlockAdServers,
     &forms::MainForm::chkAdServers},
    {SettingKey::bBlockIEPopups,  "bBlockIEPopups",  "1", &MainState::bBlockIEPopups,
     &forms::MainForm::chkIEPops},
    {SettingKey::bPopSound,       "bPopSound",       "1", &MainState::bPopSound,
     &forms::MainForm::chkPopSound},
    {SettingKey::bHostsFullySet,  "bHostsFullySet",  "0", &MainState::bHostsFullySet},

    // The date of the last ad-data update and the lifetime total, in the state; labels show them.
    // Save writes each only when it holds something a stored value may be replaced by.
    {SettingKey::DateUpdate,  "DateUpdate",  "1/1/2001", &MainState::DateUpdate, nullptr,
     WriteRule::OnlyARealDate},
    {SettingKey::nTotBlocked, "nTotBlocked", "0",        &MainState::nTotBlocked, nullptr,
     WriteRule::OnlyAPositiveCount},
}};
// clang-format on

/// The entry of a key.
constexpr const SettingEntry& settingEntry(SettingKey key) {
    return kSettings[static_cast<std::size_t>(key)];
}

namespace detail {
constexpr bool settingsInKeyOrder() {
    for (std::size_t i = 0; i < kSettings.size(); ++i) {
        if (kSettings[i].key != static_cast<SettingKey>(i) || kSettings[i].name == nullptr) {
            return false;
        }
    }
    return true;
}
}  // namespace detail
static_assert(detail::settingsInKeyOrder(), "one entry per key, in the order of SettingKey");

}  // namespace halvern::core
