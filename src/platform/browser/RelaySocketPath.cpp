#include "platform/browser/RelaySocketPath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace halvern::platform {

namespace {

constexpr const char* kSocketName = "zorvik-browser.sock";

}  // namespace

RelaySocketPath browserRelaySocketPath() {
    if (const char* given = std::getenv("ZORVIK_BROWSER_SOCKET"); given != nullptr && *given) {
        return RelaySocketPath{given, ""};
    }
    std::string folder;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime != nullptr && *runtime == '/') {
        folder = std::string(runtime) + "/halvern";
    } else {
        folder = "/tmp/halvern-" + std::to_string(::getuid());
    }
    return RelaySocketPath{folder + "/" + kSocketName, folder};
}

std::string prepareRelayFolder(const std::string& folder, bool create) {
    if (create && ::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return "cannot make " + folder + ": " + std::strerror(errno);
    }
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        return "cannot read " + folder + ": " + std::strerror(errno);
    }
    if (!S_ISDIR(info.st_mode)) {
        return folder + " is not a folder";
    }
    if (info.st_uid != ::getuid()) {
        return folder + " belongs to another user";
    }
    if ((info.st_mode & 0077) != 0) {
        return folder + " is open to other users";
    }
    return "";
}

}  // namespace halvern::platform
