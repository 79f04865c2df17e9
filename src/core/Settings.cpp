#include "core/Settings.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>

#include "base/ValueConversion.h"
#include "core/IniFile.h"
#include "core/ListFiles.h"

namespace halvern::core {

using base::ValueConversion::toBoolean;
using base::ValueConversion::toInt16;
using base::ValueConversion::toInt32;

namespace {

constexpr const char* kSection = "Settings";
constexpr const char* kLastPopText = "Allow the most recent blocked popup (by Window Title)";
constexpr const char* kNotAgain = "\r\n\r\nYou will not see this message again.";

std::string value(const IniFile& ini, const char* key, const char* fallback) {
    return ini.get(kSection, key, fallback);
}

std::optional<bool> flag(const IniFile& ini, const char* key, const char* fallback) {
    return toBoolean(value(ini, key, fallback));
}

/// A value that does not convert leaves the member as it was.
template <typename T>
void assign(T& member, const std::optional<T>& converted) {
    if (converted) {
        member = *converted;
    }
}

/// A list whose count is negative holds no entries.
template <typename T>
T entries(T count) {
    return std::max<T>(count, 0);
}

const char* boolText(bool value) {
    return value ? "True" : "False";
}

}  // namespace

struct Settings::ListCounts {
    std::string defaultList;
    std::string userList;
};

Settings::Settings(const Context& context, Callbacks callbacks)
    : m_files(context.platform.files),
      m_dialogs(context.platform.dialogs),
      m_userStore(context.platform.userStore),
      m_state(context.state),
      m_paths(context.paths),
      m_form(context.form),
      m_stats(context.stats),
      m_callbacks(std::move(callbacks)) {}

void Settings::LoadSettings() {
    const IniFile ini(m_files, getIniFileName());
    // Nothing writes the list files while the settings load, so both counts are read once.
    const ListCounts counts = readListCounts();
    loadAdServerTotal(counts);
    loadHotKeys(ini);
    loadStartupOptions(ini);
    loadSounds(ini);
    m_state.ProxyName = value(ini, "ProxyName", "");
    m_form.txtProxyName.setText(m_state.ProxyName);
    m_state.ProxyPort = value(ini, "ProxyPort", "");
    loadCounters(ini, counts);
    loadBlocking(ini);
}

Settings::ListCounts Settings::readListCounts() const {
    return {ListFiles::readCountText(m_files, m_paths.getLocalBanIniFileName()).value_or(""),
            ListFiles::readCountText(m_files, m_paths.getUserBanIniFileName()).value_or("0")};
}

void Settings::loadAdServerTotal(const ListCounts& counts) {
    const auto defaultCount = toInt32(counts.defaultList);
    const auto userCount = toInt32(counts.userList);
    if (!defaultCount || !userCount) {
        return;
    }
    const std::int64_t sum = std::int64_t{entries(*defaultCount)} + entries(*userCount);
    if (sum > std::numeric_limits<std::int32_t>::max()) {
        return;
    }
    m_state.nTotalAdServers = static_cast<std::int32_t>(sum);
    m_form.lblTotHosts.setCaption(std::to_string(sum));
    m_stats.setServers(m_state.nTotalAdServers);
}

void Settings::loadHotKeys(const IniFile& ini) {
    struct HotKey {
        const char* key;
        std::string& number;
        forms::Label& label;
        forms::ComboBox& combo;
        forms::MenuItem& trayEntry;
        std::string trayText;
    };
    HotKey hotKeys[] = {
        {"fOnOff", m_state.ngOnOff, m_form.lblOnOff, m_form.cmbOnOff, m_form.mnuTrayPopups,
         " - Block IE Popup Ads - ON (uncheck to temporarily allow popups)"},
        {"fCloseBrowser", m_state.ngCloseBrowser, m_form.lblCloseBrowser, m_form.cmbCloseBrowser,
         m_form.mnuTrayCloseBrowser, " - Close All Open IE and Netscape Browsers."},
        {"fIEWhiteList", m_state.ngIEWhiteList, m_form.lblIEWhiteList, m_form.cmbIEWhiteList,
         m_form.mnuTrayLastIEPop, " - Allow the most recent IE popup (WhiteList based on URL)"},
        {"fBlockByTitle", m_state.ngBlockByTitle, m_form.lblBlockByTitle, m_form.cmbBlockByTitle,
         m_form.mnuTrayBlockTitle, " - Block specific Popup Windows by Title..."},
    };
    for (HotKey& hotKey : hotKeys) {
        hotKey.number = value(ini, hotKey.key, "0");
        const auto number = toInt32(hotKey.number);
        if (number && *number > 0) {
            const std::string name = "F" + std::to_string(*number);
            hotKey.label.setCaption(name);
            hotKey.combo.setText(name);
            hotKey.trayEntry.setCaption(name + hotKey.trayText);
        } else {
            hotKey.combo.setText("none");
            hotKey.trayEntry.setCaption("--" + hotKey.trayText.substr(2));
        }
    }
    const auto blockByTitle = toInt32(m_state.ngBlockByTitle);
    if (blockByTitle && *blockByTitle > 0) {
        m_form.mnuTrayLastPop.setCaption("F" + std::to_string(*blockByTitle) + " - " +
                                         kLastPopText);
    } else {
        m_form.mnuTrayLastPop.setCaption(std::string("-- ") + kLastPopText);
    }
}

void Settings::loadStartupOptions(const IniFile& ini) {
    assign(m_state.bMinimized, flag(ini, "bMinimized", "0"));
    const auto& show =
        m_state.bMinimized ? m_callbacks.GoToTray : m_callbacks.mnuTraySettings_Click;
    if (show) {
        show();
    }
    assign(m_state.bAutoDownload, flag(ini, "bAutoDownload", "1"));
    m_form.chkAuto.setChecked(m_state.bAutoDownload);
    if (const auto javaPops = flag(ini, "bJavaPops", "0")) {
        m_form.chkJavaPops.setChecked(*javaPops);
    }
    if (const auto runIE = flag(ini, "bRunIE", "0")) {
        m_form.chkRunIE.setChecked(*runIE);
    }
    if (const auto startup = flag(ini, "bStartup", "1")) {
        m_form.chkStartup.setChecked(*startup);
        // Being active only with the browser needs the program to start with the session.
        if (!*startup) {
            m_form.chkRunIE.setChecked(false);
        }
        m_form.chkRunIE.setEnabled(*startup);
    }
    if (const auto toolBar = flag(ini, "bIEToolBar", "0")) {
        m_form.chkIEToolBar.setChecked(*toolBar);
    }
}

void Settings::loadSounds(const IniFile& ini) {
    assign(m_state.bBannerSound, flag(ini, "bBannerSound", "1"));
    m_form.chkBannerSound.setChecked(m_state.bBannerSound);
    if (!m_state.bBannerSound) {
        m_form.txtBannerWav.setEnabled(false);
        m_form.cmdBrowseAd.setEnabled(false);
        m_form.cmdTestAd.setEnabled(false);
    }
    assign(m_state.bPopSound, flag(ini, "bPopSound", "1"));
    m_form.chkPopSound.setChecked(m_state.bPopSound);
    if (!m_state.bPopSound) {
        m_form.txtPopWav.setEnabled(false);
        m_form.cmdBrowsePop.setEnabled(false);
        m_form.cmdTestPop.setEnabled(false);
    }
    m_state.BannerSound = value(ini, "BannerSound", "");
    if (m_state.BannerSound.empty()) {
        m_state.BannerSound = m_paths.file("ad.wav");
    }
    m_state.PopSound = value(ini, "PopSound", "");
    if (m_state.PopSound.empty()) {
        m_state.PopSound = m_paths.file("pop.wav");
    }
    m_form.txtBannerWav.setText(m_state.BannerSound);
    m_form.txtPopWav.setText(m_state.PopSound);
}

void Settings::loadCounters(const IniFile& ini, const ListCounts& counts) {
    assign(m_state.nTotBlocked, toInt32(value(ini, "nTotBlocked", "0")));
    m_form.lbltot.setCaption("0");
    m_stats.setToday(0);
    m_form.lblTotBlocked.setCaption(std::to_string(m_state.nTotBlocked));
    m_stats.setLifeTime(m_state.nTotBlocked);

    m_state.DateUpdate = value(ini, "DateUpdate", "1/1/2001");
    m_form.lblDateUpdate.setCaption("Last Updated " + m_state.DateUpdate);
    m_stats.setLastUpdate("Last Updated " + m_state.DateUpdate);

    if (const auto n = toInt16(counts.defaultList)) {
        m_state.nDefaultAdServers = entries(*n);
    }
    if (const auto n = toInt16(counts.userList)) {
        m_state.nUserAdServers = entries(*n);
    }
    assign(m_state.bHostsFullySet, flag(ini, "bHostsFullySet", "0"));
}

void Settings::loadBlocking(const IniFile& ini) {
    assign(m_state.bBlockAdServers, flag(ini, "bBlockAdServers", "1"));
    m_form.chkAdServers.setChecked(m_state.bBlockAdServers);
    assign(m_state.bBlockIEPopups, flag(ini, "bBlockIEPopups", "1"));
    m_form.chkIEPops.setChecked(m_state.bBlockIEPopups);
    if (!m_state.bBlockIEPopups) {
        m_form.chkJavaPops.setChecked(false);
        m_form.chkJavaPops.setEnabled(false);
    }
}

bool Settings::Save() {
    if (m_state.bLoadingSettings) {
        return false;
    }
    m_state.ProxyName = m_form.txtProxyName.text();
    IniFile ini(m_files, getIniFileName());
    writeSettings(ini);
    if (!ini.save()) {
        return false;
    }
    m_form.lblStatus.setCaption("Settings Saved\r\n" + m_form.lblStatus.caption());
    return true;
}

void Settings::writeSettings(IniFile& ini) const {
    const auto put = [&](const char* key, const std::string& text) {
        ini.set(kSection, key, text);
    };
    const auto putFlag = [&](const char* key, bool on) { put(key, boolText(on)); };
    put("BannerSound", m_state.BannerSound);
    put("PopSound", m_state.PopSound);
    put("ProxyName", m_state.ProxyName);
    put("ProxyPort", m_state.ProxyPort);
    put("fOnOff", m_state.ngOnOff);
    put("fCloseBrowser", m_state.ngCloseBrowser);
    put("fIEWhiteList", m_state.ngIEWhiteList);
    put("fBlockByTitle", m_state.ngBlockByTitle);
    putFlag("bMinimized", m_state.bMinimized);
    putFlag("bAutoDownload", m_state.bAutoDownload);
    putFlag("bJavaPops", m_form.chkJavaPops.checked());
    putFlag("bRunIE", m_form.chkRunIE.checked());
    putFlag("bStartup", m_form.chkStartup.checked());
    putFlag("bIEToolBar", m_form.chkIEToolBar.checked());
    putFlag("bBannerSound", m_state.bBannerSound);
    putFlag("bBlockAdServers", m_state.bBlockAdServers);
    putFlag("bBlockIEPopups", m_state.bBlockIEPopups);
    putFlag("bPopSound", m_state.bPopSound);
    putFlag("bHostsFullySet", m_state.bHostsFullySet);
    // The never-updated marker and a zero count must not replace what the file holds.
    const std::string& date = m_state.DateUpdate;
    if (!date.empty() && date != "Never" && date != "1/1/2001") {
        put("DateUpdate", date);
    }
    if (m_state.nTotBlocked > 0) {
        put("nTotBlocked", std::to_string(m_state.nTotBlocked));
    }
}

bool Settings::writeSetting(const std::string& key, const std::string& value) {
    IniFile ini(m_files, getIniFileName());
    ini.set(kSection, key, value);
    return ini.save();
}

void Settings::MsgBoxOnce(const std::string& strMsg, const std::string& strTitle,
                          const std::string& strRegKey) {
    if (m_state.bLoadingSettings) {
        return;
    }
    const auto shown = toInt16(m_userStore.get(kUserStoreApp, "Messages", strRegKey, "1"));
    if (!shown || *shown != 1) {
        return;
    }
    m_dialogs.messageBox(strMsg + kNotAgain, strTitle, platform::BoxButtons::Ok,
                         platform::BoxIcon::Information);
    m_userStore.set(kUserStoreApp, "Messages", strRegKey, "0");
}

}  // namespace halvern::core
