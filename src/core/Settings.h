#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/AppPaths.h"
#include "core/Context.h"
#include "core/MainState.h"
#include "forms/MainForm.h"
#include "forms/StatsForm.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/UserStore.h"

namespace halvern::core {

class IniFile;
enum class SettingKey : std::uint8_t;
struct SettingEntry;

/// The settings store: the [Settings] section of zorvik.ini, mirrored into the main state and the
/// windows by LoadSettings and written back by Save, and the once-only messages of the per-user
/// store. The keys, their defaults and where each value lives while the program runs are the
/// table of SettingKeys.h; a new setting is an enumerator and a row there plus its load step.
class Settings {
public:
    /// What LoadSettings does with the main window. The tray icon owns both and sits a layer
    /// above the settings, so they are handed in (the program fills both).
    struct Callbacks {
        std::function<void()> GoToTray;
        std::function<void()> mnuTraySettings_Click;
    };

    /// Keeps references to what the context refers to, not to the context itself.
    Settings(const Context& context, Callbacks callbacks);

    /// Reads the settings file once and applies every setting, in the load's own fixed order (the
    /// list counts, the hot keys, the start-up options, the sounds, ..., the blocking switches).
    void LoadSettings();
    /// Writes the settings in one atomic write, keeping the file's other lines; nothing while the
    /// settings load. True when written; a failed write leaves the old file and says nothing.
    bool Save();
    /// From now on Save leaves the key as the file holds it: this run's value is not the user's
    /// choice (a switch turned off because what it needs is out of reach), and the user's own
    /// comes back with the next run that can honour it.
    void keepStored(SettingKey key);
    /// Writes one key of the settings section at once, keeping the rest of the file (the tray's
    /// statistics reset stores a zero total this way, which Save never writes). True when written.
    bool writeSetting(const std::string& key, const std::string& value);
    /// Shows the message the first time only for this user; the key remembers it was shown.
    void MsgBoxOnce(const std::string& strMsg, const std::string& strTitle,
                    const std::string& strRegKey);
    /// The settings file's path.
    std::string getIniFileName() const { return m_paths.getIniFileName(); }

private:
    struct ListCounts;
    ListCounts readListCounts() const;
    /// Reads a text setting into its member and returns the member.
    std::string& loadText(const IniFile& ini, SettingKey key);
    /// Reads a flag into its home when it converts, then sets a state flag's check box from the
    /// member; the converted value, or nothing.
    std::optional<bool> loadFlag(const IniFile& ini, SettingKey key);
    /// Reads a count into its member when it converts.
    void loadCount(const IniFile& ini, SettingKey key);
    void loadAdServerTotal(const ListCounts& counts);
    void loadHotKeys(const IniFile& ini);
    void loadStartupOptions(const IniFile& ini);
    void loadSounds(const IniFile& ini);
    void loadCounters(const IniFile& ini, const ListCounts& counts);
    void loadBlocking(const IniFile& ini);
    void writeSettings(IniFile& ini) const;
    /// The text Save writes for a setting, from its home; nothing when its rule keeps the stored
    /// value.
    std::optional<std::string> textToWrite(const SettingEntry& setting) const;

    platform::FileSystem& m_files;
    platform::Dialogs& m_dialogs;
    platform::UserStore& m_userStore;
    MainState& m_state;
    const AppPaths& m_paths;
    forms::MainForm& m_form;
    forms::StatsForm& m_stats;
    Callbacks m_callbacks;
    /// The keys Save leaves as stored.
    std::vector<SettingKey> m_keptStored;
};

}  // namespace halvern::core
