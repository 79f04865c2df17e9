#include "core/Settings.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <variant>

#include "base/ValueConversion.h"
#include "core/IniFile.h"
#include "core/ListFiles.h"
#include "core/SettingKeys.h"

namespace halvern::core {

using base::ValueConversion::toBoolean;
using base::ValueConversion::toInt16;
using base::ValueConversion::toInt32;

namespace {

constexpr const char* kSection = "Settings";
constexpr const char* kLastPopText = "Allow the most recent blocked popup (by Window Title)";
constexpr const char* kNotAgain = "\r\n\r\nYou will not see this message again.";

/// The key's text, or its default when it is missing.
std::string value(const IniFile& ini, SettingKey key) {
    const SettingEntry& setting = settingEntry(key);
    return ini.get(kSection, setting.name, setting.fallback);
}

template <typename... F>
struct Overloaded : F... {
    using F::operator()...;
};
// Spelled out for compilers without deduction for aggregates (clang before 17, and so clang-tidy).
template <typename... F>
Overloaded(F...) -> Overloaded<F...>;

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
    m_form.txtProxyName.setText(loadText(ini, SettingKey::ProxyName));
    loadText(ini, SettingKey::ProxyPort);
    loadText(ini, SettingKey::UpdateServer);
    loadCounters(ini, counts);
    loadBlocking(ini);
}

Settings::ListCounts Settings::readListCounts() const {
    return {ListFiles::readCountText(m_files, m_paths.getLocalBanIniFileName()).value_or(""),
            ListFiles::readCountText(m_files, m_paths.getUserBanIniFileName()).value_or("0")};
}

std::string& Settings::loadText(const IniFile& ini, SettingKey key) {
    std::string& member = m_state.*std::get<StateText>(settingEntry(key).home);
    member = value(ini, key);
    return member;
}

std::optional<bool> Settings::loadFlag(const IniFile& ini, SettingKey key) {
    const SettingEntry& setting = settingEntry(key);
    const std::optional<bool> on = toBoolean(value(ini, key));
    if (const StateFlag* member = std::get_if<StateFlag>(&setting.home)) {
        bool& home = m_state.**member;
        assign(home, on);
        if (setting.mirror) {
            (m_form.*setting.mirror).setChecked(home);
        }
    } else if (on) {
        (m_form.*std::get<FormCheckBox>(setting.home)).setChecked(*on);
    }
    return on;
}

void Settings::loadCount(const IniFile& ini, SettingKey key) {
    assign(m_state.*std::get<StateCount>(settingEntry(key).home), toInt32(value(ini, key)));
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
        SettingKey key;
        forms::Label& label;
        forms::ComboBox& combo;
        forms::MenuItem& trayEntry;
        std::string trayText;
    };
    HotKey hotKeys[] = {
        {SettingKey::fOnOff, m_form.lblOnOff, m_form.cmbOnOff, m_form.mnuTrayPopups,
         " - Block IE Popup Ads - ON (uncheck to temporarily allow popups)"},
        {SettingKey::fCloseBrowser, m_form.lblCloseBrowser, m_form.cmbCloseBrowser,
         m_form.mnuTrayCloseBrowser, " - Close All Open IE and Netscape Browsers."},
        {SettingKey::fIEWhiteList, m_form.lblIEWhiteList, m_form.cmbIEWhiteList,
         m_form.mnuTrayLastIEPop, " - Allow the most recent IE popup (WhiteList based on URL)"},
        {SettingKey::fBlockByTitle, m_form.lblBlockByTitle, m_form.cmbBlockByTitle,
         m_form.mnuTrayBlockTitle, " - Block specific Popup Windows by Title..."},
    };
    for (HotKey& hotKey : hotKeys) {
        const auto number = toInt32(loadText(ini, hotKey.key));
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
    loadFlag(ini, SettingKey::bMinimized);
    const auto& show =
        m_state.bMinimized ? m_callbacks.GoToTray : m_callbacks.mnuTraySettings_Click;
    if (show) {
        show();
    }
    loadFlag(ini, SettingKey::bAutoDownload);
    loadFlag(ini, SettingKey::bJavaPops);
    loadFlag(ini, SettingKey::bRunIE);
    if (const auto startup = loadFlag(ini, SettingKey::bStartup)) {
        // Being active only with the browser needs the program to start with the session.
        if (!*startup) {
            m_form.chkRunIE.setChecked(false);
        }
        m_form.chkRunIE.setEnabled(*startup);
    }
    loadFlag(ini, SettingKey::bIEToolBar);
}

void Settings::loadSounds(const IniFile& ini) {
    loadFlag(ini, SettingKey::bBannerSound);
    if (!m_state.bBannerSound) {
        m_form.txtBannerWav.setEnabled(false);
        m_form.cmdBrowseAd.setEnabled(false);
        m_form.cmdTestAd.setEnabled(false);
    }
    loadFlag(ini, SettingKey::bPopSound);
    if (!m_state.bPopSound) {
        m_form.txtPopWav.setEnabled(false);
        m_form.cmdBrowsePop.setEnabled(false);
        m_form.cmdTestPop.setEnabled(false);
    }
    if (std::string& path = loadText(ini, SettingKey::BannerSound); path.empty()) {
        path = m_paths.shippedFile("ad.wav");
    }
    if (std::string& path = loadText(ini, SettingKey::PopSound); path.empty()) {
        path = m_paths.shippedFile("pop.wav");
    }
    m_form.txtBannerWav.setText(m_state.BannerSound);
    m_form.txtPopWav.setText(m_state.PopSound);
}

void Settings::loadCounters(const IniFile& ini, const ListCounts& counts) {
    loadCount(ini, SettingKey::nTotBlocked);
    m_form.lbltot.setCaption("0");
    m_stats.setToday(0);
    m_form.lblTotBlocked.setCaption(std::to_string(m_state.nTotBlocked));
    m_stats.setLifeTime(m_state.nTotBlocked);

    loadText(ini, SettingKey::DateUpdate);
    m_form.lblDateUpdate.setCaption("Last Updated " + m_state.DateUpdate);
    m_stats.setLastUpdate("Last Updated " + m_state.DateUpdate);

    if (const auto n = toInt16(counts.defaultList)) {
        m_state.nDefaultAdServers = entries(*n);
    }
    if (const auto n = toInt16(counts.userList)) {
        m_state.nUserAdServers = entries(*n);
    }
    loadFlag(ini, SettingKey::bHostsFullySet);
}

void Settings::loadBlocking(const IniFile& ini) {
    loadFlag(ini, SettingKey::bBlockAdServers);
    loadFlag(ini, SettingKey::bBlockIEPopups);
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

void Settings::keepStored(SettingKey key) {
    if (std::find(m_keptStored.begin(), m_keptStored.end(), key) == m_keptStored.end()) {
        m_keptStored.push_back(key);
    }
}

void Settings::writeSettings(IniFile& ini) const {
    for (const SettingEntry& setting : kSettings) {
        if (std::find(m_keptStored.begin(), m_keptStored.end(), setting.key) !=
            m_keptStored.end()) {
            continue;
        }
        if (const auto text = textToWrite(setting)) {
            ini.set(kSection, setting.name, *text);
        }
    }
}

std::optional<std::string> Settings::textToWrite(const SettingEntry& setting) const {
    const std::string text = std::visit(
        Overloaded{
            [&](StateText member) { return m_state.*member; },
            [&](StateFlag member) { return std::string(boolText(m_state.*member)); },
            [&](StateCount member) { return std::to_string(m_state.*member); },
            [&](FormCheckBox box) { return std::string(boolText((m_form.*box).checked())); },
        },
        setting.home);
    switch (setting.rule) {
        case WriteRule::Always:
            break;
        case WriteRule::OnlyARealDate:
            // The default date and "Never" both say the data was never updated.
            if (text.empty() || text == "Never" || text == setting.fallback) {
                return std::nullopt;
            }
            break;
        case WriteRule::OnlyAPositiveCount:
            if (m_state.*std::get<StateCount>(setting.home) <= 0) {
                return std::nullopt;
            }
            break;
    }
    return text;
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
