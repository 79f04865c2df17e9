#include "platform/fake/FakeProgramProcess.h"

namespace halvern::platform {

void FakeProgramProcess::terminate(int exitCode) {
    throw Terminated{exitCode};
}

}  // namespace halvern::platform
