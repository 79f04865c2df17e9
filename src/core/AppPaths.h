#pragma once

#include <string>

#include "platform/FileSystem.h"
#include "platform/ProgramProcess.h"

namespace halvern::core {

/// Where the program's files are: the shipped, read-only files in the program folder (the
/// installation's data folder, or the executable's own folder in a build tree), the settings
/// in the configuration folder, the user's lists and the program's own state in the data folder,
/// and the system hosts file. Every path is decided here; folders have no trailing slash.
struct AppPaths {
    AppPaths() = default;
    /// Every file in one folder, as a portable copy keeps them.
    AppPaths(const std::string& appFolder, std::string hostsFile)
        : strAppFolder(appFolder),
          strConfigFolder(appFolder),
          strDataFolder(appFolder),
          strHostsFile(std::move(hostsFile)) {}
    /// The files in the program's folders; files tells whether a shipped list has a copy of its
    /// own in the data folder yet.
    AppPaths(const platform::FileSystem& files, const platform::ProgramFolders& folders,
             std::string hostsFile)
        : strAppFolder(folders.shipped),
          strConfigFolder(folders.config),
          strDataFolder(folders.data),
          strHostsFile(std::move(hostsFile)),
          m_files(&files) {}

    /// The shipped files' folder.
    std::string strAppFolder;
    /// The settings' folder.
    std::string strConfigFolder;
    /// The folder of the user's lists and the program's own state.
    std::string strDataFolder;
    std::string strHostsFile;

    static constexpr const char* kIniFile = "zorvik.ini";
    static constexpr const char* kLocalBanList = "zorvikhosts.ini";
    static constexpr const char* kSpyWareList = "zvspyware.ini";

    std::string shippedFile(const std::string& name) const { return strAppFolder + "/" + name; }
    std::string configFile(const std::string& name) const { return strConfigFolder + "/" + name; }
    std::string dataFile(const std::string& name) const { return strDataFolder + "/" + name; }
    /// A shipped list the program rewrites: its copy in the data folder once the program wrote
    /// one, until then the shipped list. Writes always go to dataFile(name).
    std::string rewrittenList(const std::string& name) const {
        const std::string own = dataFile(name);
        return m_files == nullptr || m_files->exists(own) ? own : shippedFile(name);
    }

    std::string getIniFileName() const { return configFile(kIniFile); }
    /// The default ad-server list as read now; a download writes getLocalBanIniWriteFileName().
    std::string getLocalBanIniFileName() const { return rewrittenList(kLocalBanList); }
    std::string getLocalBanIniWriteFileName() const { return dataFile(kLocalBanList); }
    std::string getUserBanIniFileName() const { return dataFile("userhosts.ini"); }
    std::string getLocalBanIniExcludeFileName() const { return dataFile("zorvikhostsexc.ini"); }
    std::string getLocalRemovalsIniFileName() const { return dataFile("removals.ini"); }
    /// Never written: read while the user has no list of their own, so an update reaches it.
    std::string getZVTitleIniFileName() const { return shippedFile("zvtitles.ini"); }
    std::string getUserTitleIniFileName() const { return dataFile("usertitles.ini"); }
    /// Never written: read while the user has no list of their own, so an update reaches it.
    std::string getZVWhiteListIniFileName() const { return shippedFile("zvwl.ini"); }
    std::string getWhiteListIniFileName() const { return dataFile("userwl.ini"); }
    /// The spyware list as read now; its changes are written to spyWareWriteFile().
    std::string strgSpyWareFile() const { return rewrittenList(kSpyWareList); }
    std::string spyWareWriteFile() const { return dataFile(kSpyWareList); }
    std::string placeholderImage() const { return shippedFile("1by1.jpg"); }
    std::string getHostsFileName() const { return strHostsFile; }

private:
    const platform::FileSystem* m_files = nullptr;
};

}  // namespace halvern::core
