#include "platform/fake/FakeLauncher.h"

namespace halvern::platform {

bool FakeLauncher::runHidden(const std::string& commandLine) {
    commands.push_back(commandLine);
    return true;
}

}  // namespace halvern::platform
