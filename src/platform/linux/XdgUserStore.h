#pragma once

#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/UserStore.h"

namespace halvern::platform {

/// The per-user store as INI files, one per application: "<folder>/<application>.ini", with
/// the section and key as given. Application, section and key match without regard to case.
/// Each call reads the file afresh; each change rewrites it whole and atomically. Values keep
/// their blanks and quotes: the file quotes a value whose ends the INI reading rules would trim.
class XdgUserStore final : public UserStore {
public:
    /// Files go through files; the folder is created 0700 on the first write, files 0600.
    /// foreignFiles name files of the folder that belong to someone else (the program's settings
    /// file "zorvik.ini" beside the store's "Zorvik.ini"): never taken for an application's file,
    /// whatever the case of the application's name.
    XdgUserStore(FileSystem& files, std::string folder, std::vector<std::string> foreignFiles = {});

    using UserStore::get;
    std::optional<std::string> get(const std::string& application, const std::string& section,
                                   const std::string& key) const override;
    /// False for names or values a line of an INI file cannot hold (line breaks, "=" in a key).
    bool set(const std::string& application, const std::string& section, const std::string& key,
             const std::string& value) override;
    bool remove(const std::string& application, const std::string& section,
                const std::string& key) override;

    /// "$XDG_CONFIG_HOME/halvern", where XDG_CONFIG_HOME defaults to "$HOME/.config".
    static std::string defaultFolder();

    const std::string& folder() const { return m_folder; }

private:
    /// The application's file: an existing one whose name matches without regard to case, else
    /// "<application>.ini"; "" for a name that is not a plain file name or that only a foreign
    /// file's name matches.
    std::string fileFor(const std::string& application) const;
    bool foreign(const std::string& name) const;

    FileSystem& m_files;
    std::string m_folder;
    std::vector<std::string> m_foreignFiles;
};

}  // namespace halvern::platform
