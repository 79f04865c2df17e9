#pragma once

#include <string>

namespace halvern::core {

/// Where the program's files are: its own folder (the executable's) and the system hosts file.
struct AppPaths {
    AppPaths() = default;
    AppPaths(std::string appFolder, std::string hostsFile)
        : strAppFolder(std::move(appFolder)), strHostsFile(std::move(hostsFile)) {}

    /// The folder of the executable, without a trailing slash.
    std::string strAppFolder;
    std::string strHostsFile;

    std::string file(const char* name) const { return strAppFolder + "/" + name; }
    std::string getIniFileName() const { return file("zorvik.ini"); }
    std::string getLocalBanIniFileName() const { return file("zorvikhosts.ini"); }
    std::string getUserBanIniFileName() const { return file("userhosts.ini"); }
    std::string getLocalBanIniExcludeFileName() const { return file("zorvikhostsexc.ini"); }
    std::string getLocalRemovalsIniFileName() const { return file("removals.ini"); }
    std::string getZVTitleIniFileName() const { return file("zvtitles.ini"); }
    std::string getUserTitleIniFileName() const { return file("usertitles.ini"); }
    std::string getZVWhiteListIniFileName() const { return file("zvwl.ini"); }
    std::string getWhiteListIniFileName() const { return file("userwl.ini"); }
    std::string strgSpyWareFile() const { return file("zvspyware.ini"); }
    std::string placeholderImage() const { return file("1by1.jpg"); }
    std::string getHostsFileName() const { return strHostsFile; }
};

}  // namespace halvern::core
