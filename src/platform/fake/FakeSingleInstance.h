#pragma once

#include <string>

#include "platform/SingleInstance.h"

namespace halvern::platform {

/// Another copy runs when `otherCopyRunning` is set, the lock cannot be taken when `lockError`
/// is set; signals are counted.
class FakeSingleInstance final : public SingleInstance {
public:
    LockResult acquire() override {
        if (!lockError.empty()) {
            return {LockOutcome::Unavailable, lockPath, lockError};
        }
        return {otherCopyRunning ? LockOutcome::HeldByAnotherCopy : LockOutcome::Acquired,
                lockPath,
                {}};
    }
    void signalRunningCopy() override { ++signals; }
    bool otherCopyRunning = false;
    std::string lockError;
    std::string lockPath = "/run/user/1000/zorvik-1000.lock";
    int signals = 0;
};

}  // namespace halvern::platform
