#include "platform/linux/XdgFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace halvern::platform::XdgFolders {

namespace {

constexpr const char* kFolderName = "/halvern";
/// A file every installation ships: its presence tells a data folder from a stray "share".
constexpr const char* kShippedMark = "/1by1.jpg";

bool absolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

std::string home(const Environment& environment) {
    const char* home = environment("HOME");
    if (absolute(home)) {
        return home;
    }
    // A session without HOME (a service manager's, say) still has the account's own.
    if (const passwd* user = ::getpwuid(::getuid())) {
        if (absolute(user->pw_dir)) {
            return user->pw_dir;
        }
    }
    return {};
}

std::string baseFolder(const Environment& environment, const char* variable,
                       const char* fallbackUnderHome) {
    const char* value = environment(variable);
    if (absolute(value)) {
        return value;
    }
    return home(environment) + fallbackUnderHome;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool isFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

const char* processEnvironment(const char* name) {
    return std::getenv(name);
}

std::string configFolder(const Environment& environment) {
    return baseFolder(environment, "XDG_CONFIG_HOME", "/.config") + kFolderName;
}

std::string dataFolder(const Environment& environment) {
    return baseFolder(environment, "XDG_DATA_HOME", "/.local/share") + kFolderName;
}

std::string shippedFolder(const std::string& executablePath) {
    const std::string own = folderOf(executablePath);
    const std::string prefix = folderOf(own);
    const std::string installed = (prefix == "/" ? std::string() : prefix) + "/share/halvern";
    return isFile(installed + kShippedMark) ? installed : own;
}

ProgramFolders forExecutable(const std::string& executablePath, const Environment& environment) {
    return {folderOf(executablePath), shippedFolder(executablePath), configFolder(environment),
            dataFolder(environment)};
}

}  // namespace halvern::platform::XdgFolders
