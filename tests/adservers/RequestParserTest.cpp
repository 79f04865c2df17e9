#include "adservers/RequestParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace halvern::adservers {
namespace {

TEST(RequestParser, HeadIsCompleteOnlyAfterTheBlankLine) {
    struct Case {
        std::string buffer;
        std::size_t expected;
    };
    const std::vector<Case> cases = {
        {"", 0},
        {"GET / HTTP/1.0\r\n", 0},
        {"GET / HTTP/1.0\r\nHost: a\r\n", 0},
        {"GET / HTTP/1.0\r\nHost: a\r\n\r\n", 27},
        {"GET / HTTP/1.0\r\n\r\nbody", 18},
        {"GET / HTTP/1.0\n\n", 16},  // bare line feeds, as some tools send
        {"\r\n\r\n", 4},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RequestParser::headLength(c.buffer), c.expected) << c.buffer;
    }
}

TEST(RequestParser, HeadEndSplitAcrossReadsIsFoundWhenScanningOnlyTheNewPart) {
    const std::string whole = "GET /a.gif HTTP/1.0\r\nHost: x\r\n\r\n";
    for (std::size_t cut = 1; cut < whole.size(); ++cut) {
        std::string buffer = whole.substr(0, cut);
        const std::size_t scanned = buffer.size();
        EXPECT_EQ(RequestParser::headLength(buffer), 0u) << cut;
        buffer += whole.substr(cut);
        EXPECT_EQ(RequestParser::headLength(buffer, scanned), whole.size()) << cut;
    }
}

TEST(RequestParser, HeaderValuesAreTakenAsTheBrowserSentThem) {
    const ParsedRequest r = RequestParser::parse(
        "GET /ads/banner.gif HTTP/1.0\r\n"
        "Host: ads.x.example\r\n"
        "User-Agent: Mozilla/4.0 (compatible)\r\n"
        "Referer: http://news.example/page\r\n\r\n");
    EXPECT_TRUE(r.isGet);
    EXPECT_EQ(r.host, "ads.x.example");
    EXPECT_EQ(r.agent, " Mozilla/4.0 (compatible)");    // keeps the blank after the colon
    EXPECT_EQ(r.referer, " http://news.example/page");  // likewise
    EXPECT_EQ(r.path, "ads/banner.gif");
}

TEST(RequestParser, HeaderNamesCountOnlyAtTheStartOfALine) {
    struct Case {
        std::string request;
        std::string host, agent, referer;
    };
    const std::vector<Case> cases = {
        {"GET / HTTP/1.1\r\nX-Forwarded-Host: proxy.example\r\nHost: ads.example\r\n\r\n",
         "ads.example", "", ""},
        {"GET /host:evil HTTP/1.1\r\nHost: ads.example\r\n\r\n", "ads.example", "", ""},
        {"GET / HTTP/1.1\r\nX-User-Agent: fake\r\nUSER-AGENT: real\r\n\r\n", "", " real", ""},
        {"GET / HTTP/1.1\r\nHOST: Upper.Example\r\n\r\n", "Upper.Example", "", ""},
        {"GET / HTTP/1.1\r\nHost:nospace.example\r\n\r\n", "nospace.example", "", ""},
        {"GET / HTTP/1.1\r\nHost: \r\nReferer: r\r\n\r\n", "", "", " r"},
        {"GET / HTTP/1.1\nHost: lf.example\nUser-Agent: lf\n\n", "lf.example", " lf", ""},
        {"GET / HTTP/1.1\r\n\r\nHost: body.example\r\n", "", "", ""},  // a body is not a header
        {"GET / HTTP/1.1\r\nHost: first\r\nHost: second\r\n\r\n", "first", "", ""},
        {"GET / HTTP/1.1\r\n\r\n", "", "", ""},
    };
    for (const auto& c : cases) {
        const ParsedRequest r = RequestParser::parse(c.request);
        EXPECT_EQ(r.host, c.host) << c.request;
        EXPECT_EQ(r.agent, c.agent) << c.request;
        EXPECT_EQ(r.referer, c.referer) << c.request;
    }
}

TEST(RequestParser, PathDropsTheLeadingSlashAndOneTrailingSlash) {
    struct Case {
        std::string requestLine;
        std::string path;
    };
    const std::vector<Case> cases = {
        {"GET / HTTP/1.1", "index.html"},
        {"GET // HTTP/1.1", "index.html"},
        {"GET /ads/ HTTP/1.1", "ads"},
        {"GET /ads// HTTP/1.1", "ads/"},
        {"GET /script.jsp?x=1 HTTP/1.0", "script.jsp?x=1"},
        {"GET /a/b;c&d HTTP/1.0", "a/b;c&d"},
        {"GET /nohttpversion", "nohttpversion"},  // a simple request ends at the line's end
        {"GET http://ads.example/x.gif HTTP/1.1", "http://ads.example/x.gif"},
        {"GETX /x.gif HTTP/1.0", "index.html"},  // starts with GET but has no "GET "
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RequestParser::parse(c.requestLine + "\r\n\r\n").path, c.path) << c.requestLine;
    }
}

TEST(RequestParser, OnlyAnUpperCaseGetAtTheStartIsAGet) {
    EXPECT_TRUE(RequestParser::parse("GET / HTTP/1.0\r\n\r\n").isGet);
    EXPECT_FALSE(RequestParser::parse("get / HTTP/1.0\r\n\r\n").isGet);
    EXPECT_FALSE(RequestParser::parse("POST /x HTTP/1.0\r\n\r\n").isGet);
    EXPECT_FALSE(RequestParser::parse(" GET / HTTP/1.0\r\n\r\n").isGet);
    EXPECT_FALSE(RequestParser::parse("GE").isGet);
}

TEST(RequestParser, RequestLineStartIsDecidedByTheFirstByteThatCannotContinueTheMethod) {
    struct Case {
        std::string bytes;
        LineStart expected;
    };
    using enum LineStart;
    const std::vector<Case> cases = {
        {"", Undecided},
        {"G", Undecided},
        {"GE", Undecided},
        {"GET", Undecided},
        {"get", Undecided},  // a lower-case method is still a method: answered once complete
        {"M-SEARCH", Undecided},
        {"GET ", Begun},
        {"GET /x.gif HTTP/1.0\r\n\r\n", Begun},
        {"POST /x HTTP/1.0\r\n", Begun},
        {"PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n", Begun},
        {"GET \x00\xff", Begun},  // only the method is judged here
        {std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11), Impossible},
        {std::string(1, '\0'), Impossible},
        {std::string("GE\0", 3), Impossible},
        {"\xc3\xa9", Impossible},
        {" GET / HTTP/1.0", Impossible},     // a blank before any method
        {"\r\nGET / HTTP/1.0", Impossible},  // a leading line break is not skipped
        {"GET\r\n\r\n", Impossible},
        {"GET\t/ HTTP/1.0", Impossible},
        {"GET/ HTTP/1.0", Impossible},
        {"GET(", Impossible},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RequestParser::lineStart(c.bytes), c.expected) << testing::PrintToString(c.bytes);
        // Read in two pieces, scanning only the new one, the verdict is the same.
        for (std::size_t cut = 1; cut < c.bytes.size(); ++cut) {
            const std::string first = c.bytes.substr(0, cut);
            const LineStart early = RequestParser::lineStart(first);
            const LineStart late =
                early == Undecided ? RequestParser::lineStart(c.bytes, cut) : early;
            EXPECT_EQ(late, c.expected) << testing::PrintToString(c.bytes) << " cut at " << cut;
        }
    }
}

TEST(RequestParser, ShownPathGetsABlankAfterEachBreakPoint) {
    EXPECT_EQ(RequestParser::shownPath("ads/banner.gif"), "ads/ banner.gif");
    EXPECT_EQ(RequestParser::shownPath("a/b;c&d/"), "a/ b; c& d/ ");
    EXPECT_EQ(RequestParser::shownPath("index.html"), "index.html");
}

TEST(RequestParser, PlaceholderIsChosenByTheFirstMatchInTableOrder) {
    struct Case {
        std::string path;
        PlaceholderKind kind;
    };
    const std::vector<Case> cases = {
        {"script.jsp?x=1", PlaceholderKind::JsDot},
        {"ad.js", PlaceholderKind::JsDot},
        {"AD.JS", PlaceholderKind::JsDot},
        {"showads.jpg.js", PlaceholderKind::JsDot},  // ".js" is tested before ".jpg"
        {"adsjs.php", PlaceholderKind::JsSuffix},
        {"x.JPG", PlaceholderKind::Jpg},
        {"x.jpg?a.gif", PlaceholderKind::Jpg},
        {"ads/banner.gif", PlaceholderKind::Gif},
        {"page.html", PlaceholderKind::Html},
        {"index.html", PlaceholderKind::Html},
        {"page.htm", PlaceholderKind::Htm},
        {"pixel", PlaceholderKind::Generic},
        {"", PlaceholderKind::Generic},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RequestParser::choosePlaceholder(c.path), c.kind) << c.path;
    }
}

}  // namespace
}  // namespace halvern::adservers
