#include "platform/fake/FakeTray.h"

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

}  // namespace halvern::platform
