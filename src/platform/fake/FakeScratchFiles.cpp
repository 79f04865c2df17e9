#include "platform/fake/FakeScratchFiles.h"

namespace halvern::platform {

ScratchFiles::Result FakeScratchFiles::write(const std::string& name, const std::string& content) {
    if (noFolder) {
        return {};
    }
    const std::string path = kFolder + "/" + name;
    files.erase(path);
    if (fails) {
        return {path, false};
    }
    files[path] = content;
    return {path, true};
}

}  // namespace halvern::platform
