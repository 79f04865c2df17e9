#include "core/TimeStamp.h"

#include <gtest/gtest.h>

#include "platform/fake/FakeScheduler.h"

using halvern::core::GetTimeStamp;
using halvern::platform::FakeScheduler;
using halvern::platform::LocalTime;

namespace {

TEST(TimeStamp, PadsEachPartToTwoDigits) {
    struct Case {
        int hour, minute, second;
        const char* expected;
    };
    for (const Case& c : {Case{0, 0, 0, "00:00:00"}, Case{9, 5, 3, "09:05:03"},
                          Case{10, 9, 10, "10:09:10"}, Case{23, 59, 59, "23:59:59"}}) {
        FakeScheduler clock;
        clock.setLocalTime(LocalTime{2004, 1, 1, c.hour, c.minute, c.second});
        EXPECT_EQ(GetTimeStamp(clock), c.expected);
    }
}

}  // namespace
