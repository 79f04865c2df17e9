#include "platform/fake/FakeDesktopServices.h"

namespace halvern::platform {

bool FakeTray::add(TrayPicture newPicture, const std::string& newTip) {
    ++requests;
    if (accepts) {
        shown = true;
        picture = newPicture;
        tip = newTip;
    }
    return accepts;
}

bool FakeTray::modify(TrayPicture newPicture, const std::string& newTip) {
    ++requests;
    if (accepts && shown) {
        picture = newPicture;
        tip = newTip;
        return true;
    }
    return false;
}

bool FakeShell::runHidden(const std::string& commandLine) {
    commands.push_back(commandLine);
    return true;
}

void FakeShell::terminate(int exitCode) {
    throw Terminated{exitCode};
}

}  // namespace halvern::platform
