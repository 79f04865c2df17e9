#pragma once

#include <functional>
#include <string>

namespace halvern::platform {

/// What an attempt to take the instance lock came to.
enum class LockOutcome {
    Acquired,           ///< this copy runs
    HeldByAnotherCopy,  ///< another copy runs: this one signals it and leaves
    Unavailable,        ///< the lock cannot be taken at all: no copy can tell whether another runs
};

struct LockResult {
    LockOutcome outcome = LockOutcome::Acquired;
    /// The lock's path, for the user to find it.
    std::string path;
    /// Why the lock is unavailable, in the system's words; empty otherwise.
    std::string error;
};

/// Tells whether another copy of the program runs for this user, and lets copies signal it.
class SingleInstance {
public:
    virtual ~SingleInstance() = default;

    /// Takes the instance lock, and says whether another copy holds it or it cannot be taken.
    virtual LockResult acquire() = 0;
    /// From a second copy: asks the running copy to show itself.
    virtual void signalRunningCopy() = 0;
    /// In the running copy: called when a later copy asks it to show itself.
    std::function<void()> onShowRequest;
};

}  // namespace halvern::platform
