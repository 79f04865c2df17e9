#pragma once

#include <string>

#include "platform/Scheduler.h"

namespace halvern::core {

/// The current local time as "hh:mm:ss", each part two digits; it starts every blocked-item record.
std::string GetTimeStamp(const platform::Scheduler& scheduler);

}  // namespace halvern::core
