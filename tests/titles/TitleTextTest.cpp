#include "titles/TitleText.h"

#include <gtest/gtest.h>

#include "titles/WindowReading.h"

namespace halvern::titles {
namespace {

TEST(TitleText, SanitisesWhatPagesPutInTitles) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"Plain title", "Plain title"},
        {"Two\r\nlines\tand tab", "Two  lines and tab"},
        {"Bad \xFF byte", "Bad \xEF\xBF\xBD byte"},
        {"Cut \xE2\x82", "Cut \xEF\xBF\xBD\xEF\xBF\xBD"},
        {"Overlong \xC0\xAF", "Overlong \xEF\xBF\xBD\xEF\xBF\xBD"},
        {"Surrogate \xED\xA0\x80", "Surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"Euro \xE2\x82\xAC ok", "Euro \xE2\x82\xAC ok"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sanitiseTitle(c.in), c.out) << c.in;
    }
}

TEST(TitleText, CountsCharactersNotBytes) {
    struct Case {
        std::string text;
        std::size_t characters;
    };
    const Case cases[] = {
        {"", 0},
        {"abc", 3},
        {"\xC3\xBC"
         "ber",
         4},                                                      // two-byte letter
        {"\xE2\x82\xAC\xE2\x82\xAC", 2},                          // three-byte signs
        {"\xF0\x9F\x8E\xB0 Win", 5},                              // four-byte sign
        {"\xD0\x9A\xD0\xB0\xD0\xB7\xD0\xB8\xD0\xBD\xD0\xBE", 6},  // Cyrillic, 12 bytes
        {"Bad \xFF", 5},                                          // a stray byte is one character
        {"Cut \xE2\x82", 6},  // so is each byte of a cut sequence
        {"\x80\x80\x80", 3},  // and each lone continuation byte
    };
    for (const Case& c : cases) {
        EXPECT_EQ(countCharacters(c.text), c.characters) << c.text;
    }
}

TEST(TitleText, CapsAt4KiBOnACharacterBoundary) {
    const std::string euro = "\xE2\x82\xAC";
    std::string longTitle = "x";
    for (int i = 0; i < 3000; ++i) {
        longTitle += euro;
    }
    const std::string clean = sanitiseTitle(longTitle);
    EXPECT_LE(clean.size(), kMaxTitleBytes);
    EXPECT_GT(clean.size(), kMaxTitleBytes - 3);
    EXPECT_EQ(clean.substr(clean.size() - 3), euro);
}

TEST(TitleText, ReadsTitleOrClassCutAtNul) {
    platform::WindowInfo window;
    window.title = std::string("Visible\0hidden", 14);
    window.className = std::string(100, 'c');
    WindowText read = GetWindowTitleOrClass(window);
    EXPECT_TRUE(read.isTitle);
    EXPECT_EQ(read.text, "Visible");
    EXPECT_EQ(read.className.size(), kMaxClassChars);

    window.title = "";
    window.className = "Shell_TrayWnd";
    read = GetWindowTitleOrClass(window);
    EXPECT_FALSE(read.isTitle);
    EXPECT_EQ(read.text, "Shell_TrayWnd");
}

}  // namespace
}  // namespace halvern::titles
