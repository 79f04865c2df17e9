#include "base/ValueConversion.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>

using namespace halvern::base::ValueConversion;

namespace {

TEST(ValueConversion, BooleansFromWordsAndNumbers) {
    const struct {
        const char* text;
        std::optional<bool> expected;
    } cases[] = {
        {"True", true},
        {"TRUE", true},
        {" false ", false},
        {"False", false},
        {"1", true},
        {"0", false},
        {"-1", true},
        {"2", true},
        {"0.3", true},
        {"0.0", false},
        {"99999999999999999999", true},
        {"", std::nullopt},
        {"yes", std::nullopt},
        {"1x", std::nullopt},
        {"Tru", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toBoolean(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(ValueConversion, SixteenBitNumbersRoundHalfToEvenAndStayInRange) {
    const struct {
        const char* text;
        std::optional<std::int16_t> expected;
    } cases[] = {
        {"0", 0},
        {"366", 366},
        {" 12 ", 12},
        {"+7", 7},
        {"-1", -1},
        {"32767", 32767},
        {"-32768", -32768},
        {"2.5", 2},
        {"3.5", 4},
        {"2.51", 3},
        {"-2.5", -2},
        {"32767.4", 32767},
        {"32768", std::nullopt},
        {"40000", std::nullopt},
        {"32767.5", std::nullopt},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"1 2", std::nullopt},
        {".", std::nullopt},
        {"-", std::nullopt},
        {"12abc", std::nullopt},
        {"99999999999999999999999999", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toInt16(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(ValueConversion, ThirtyTwoBitNumbersStayInRange) {
    EXPECT_EQ(toInt32("40000"), 40000);
    EXPECT_EQ(toInt32("2147483647"), 2147483647);
    EXPECT_EQ(toInt32("-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(toInt32("2147483648"), std::nullopt);
    EXPECT_EQ(toInt32("lots"), std::nullopt);
}

TEST(ValueConversion, TrimAndLowerTouchOnlyBlanksAndAsciiLetters) {
    EXPECT_EQ(trimBlanks(" \t a b \t"), "a b");
    EXPECT_EQ(trimBlanks(" \t "), "");
    EXPECT_EQ(lowerAscii("AbC\xC4z"), "abc\xC4z");
}

}  // namespace
