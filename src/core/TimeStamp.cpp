#include "core/TimeStamp.h"

namespace halvern::core {

namespace {

std::string twoDigits(int value) {
    std::string text = std::to_string(value);
    return value < 10 ? "0" + text : text;
}

}  // namespace

std::string GetTimeStamp(const platform::Scheduler& scheduler) {
    const platform::LocalTime now = scheduler.localTime();
    return twoDigits(now.hour) + ":" + twoDigits(now.minute) + ":" + twoDigits(now.second);
}

}  // namespace halvern::core
