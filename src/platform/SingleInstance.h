#pragma once

#include <functional>

namespace halvern::platform {

/// Tells whether another copy of the program runs for this user, and lets copies signal it.
class SingleInstance {
public:
    virtual ~SingleInstance() = default;

    /// Takes the instance lock; false when another copy already holds it.
    virtual bool acquire() = 0;
    /// From a second copy: asks the running copy to show itself.
    virtual void signalRunningCopy() = 0;
    /// In the running copy: called when a later copy asks it to show itself.
    std::function<void()> onShowRequest;
};

}  // namespace halvern::platform
