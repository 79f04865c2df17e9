#include "PlaceholderServerFixture.h"

namespace halvern::adservers {
namespace {

using namespace fixture;
using namespace std::chrono_literals;
using ConnectionId = platform::TcpListener::ConnectionId;

TEST_F(PlaceholderServerTest, StartsAndStopsWithTheDeveloperButtons) {
    form.cmdOn.click();
    EXPECT_TRUE(net.isListening());
    EXPECT_EQ(net.address, "127.0.0.1");
    EXPECT_EQ(net.localPort(), 80);
    EXPECT_EQ(form.lbltype.caption(), "Started blocking...10 10");
    EXPECT_EQ(form.lblWS.caption(), "WS Started.");
    EXPECT_TRUE(state.bWebServerOn);
    EXPECT_EQ(statusLines, std::vector<std::string>{"Started 10 web servers."});

    form.cmdOff.click();
    EXPECT_FALSE(net.isListening());
    EXPECT_EQ(form.lbltype.caption(), "Stopped blocking...");
    EXPECT_EQ(form.lblWS.caption(), "WS Stopped.");
    EXPECT_FALSE(state.bWebServerOn);
    EXPECT_EQ(statusLines.back(), "Stopped Web Server.");
    EXPECT_EQ(net.connect(), 0u);

    // The hot key pauses and resumes the server this way.
    form.cmdOn.click();
    EXPECT_TRUE(state.bWebServerOn);
    EXPECT_EQ(ask("GET /x.gif HTTP/1.0\r\n\r\n").body, kImage);
}

TEST_F(PlaceholderServerTest, PortHeldByAnotherProgramIsReportedNotClaimedAsStarted) {
    net.portFree = false;
    server.StartWebServerCrap();
    EXPECT_EQ(form.lbltype.caption(), "Stopped blocking...");
    EXPECT_EQ(statusLines, std::vector<std::string>{"Web server could not listen on port 80."});
    // The switch stays on, so the hot-key poll does not retry every tick.
    EXPECT_TRUE(state.bWebServerOn);
}

TEST_F(PlaceholderServerTest, AnswersEachFileTypeWithItsPlaceholder) {
    struct Case {
        std::string requestLine;
        std::string caption, contentType, body, shownPath;
    };
    const std::string html = "<font face=verdana size=1>Zorvik  Blocked HTML Ad</font>";
    const std::vector<Case> cases = {
        {"GET /ads/banner.gif HTTP/1.0", "GIF Graphical Ad ", "image/gif", kImage,
         "ads/ banner.gif"},
        {"GET / HTTP/1.1", "HTML Ad", "text/html", html, "index.html"},
        {"GET /script.jsp?x=1 HTTP/1.0", "Javascript .js", "application/javascript",
         "<!-- Java Ad -->", "script.jsp?x=1"},
        {"GET /adsjs.php HTTP/1.0", "Javascript js.", "application/javascript", "<!-- Java Ad -->",
         "adsjs.php"},
        {"GET /page.htm HTTP/1.0", "HTM Ad", "text/html",
         "<font face=verdana size=1>Zorvik  Blocked HTM Ad</font>", "page.htm"},
        {"GET /page.html HTTP/1.0", "HTML Ad", "text/html", html, "page.html"},
        {"GET /a/b.JPG HTTP/1.0", "JPG Graphical Ad ", "image/gif", kImage, "a/ b.JPG"},
        {"GET /track?a=1&b=2;c HTTP/1.0", "Generic Graphical Ad ", "image/gif", kImage,
         "track?a=1& b=2; c"},
    };
    server.StartWebServerCrap();
    for (const auto& c : cases) {
        const HttpReply reply = ask(c.requestLine + "\r\nHost: ads.x.example\r\n\r\n");
        EXPECT_EQ(reply.statusLine, "HTTP/1.0 200 OK") << c.requestLine;
        EXPECT_EQ(reply.headers.at("Content-Type"), c.contentType) << c.requestLine;
        EXPECT_EQ(reply.headers.at("Content-Length"), std::to_string(c.body.size()));
        EXPECT_EQ(reply.headers.at("Connection"), "close");
        EXPECT_EQ(reply.body, c.body) << c.requestLine;
        EXPECT_EQ(form.lbltype.caption(), c.caption) << c.requestLine;
        EXPECT_EQ(form.lblpage.caption(), "Blocking ads.x.example\r\n" + c.shownPath);
    }
    EXPECT_EQ(state.nBlockedToday, static_cast<int>(cases.size()));
    EXPECT_EQ(updateChecks, static_cast<int>(cases.size()));
}

TEST_F(PlaceholderServerTest, AnsweredAdIsRecordedEverywhereTheUserLooks) {
    server.StartWebServerCrap();
    const std::string req =
        "GET /ads/banner.gif HTTP/1.0\r\nHost: ads.x.example\r\nUser-Agent: Mozilla/4.0\r\n"
        "Referer: http://news.example/\r\n\r\n";
    const ConnectionId id = request(req);
    EXPECT_FALSE(net.isOpen(id));
    EXPECT_EQ(state.strLastHost, "ads.x.example");
    EXPECT_EQ(server.getLastHost(), "ads.x.example");
    EXPECT_EQ(state.strLastAgent, " Mozilla/4.0");
    EXPECT_EQ(ring(),
              std::vector<std::string>{
                  "09:05:07 'ads.x.example'  from ' http://news.example/' by ' Mozilla/4.0'"});
    EXPECT_EQ(form.mnuTrayAllow.caption(),
              "&Click here to allow content from ads.x.example (the last blocked ad server)...");
    EXPECT_EQ(form.lblAllowServer.caption(), "Un-Block 'ads.x.example'");
    EXPECT_TRUE(form.lblAllowServer.visible());
    EXPECT_EQ(form.lblAllow1.caption(), "Last blocked ad content from server: 'ads.x.example'");
    EXPECT_EQ(statusLines.back(), "# Web Server request: " + req);
    EXPECT_EQ(sound.played, std::vector<std::string>{"/opt/halvern/ad.wav"});
    EXPECT_EQ(form.lbltot.caption(), "1");
    EXPECT_EQ(updateChecks, 1);
}

TEST_F(PlaceholderServerTest, AnythingButGetIsAnsweredUnknownAndNotCounted) {
    server.StartWebServerCrap();
    for (const std::string req :
         {"POST /x HTTP/1.0\r\n\r\n", "get / HTTP/1.0\r\n\r\n", "\x16\x03\x01 tls hello\r\n\r\n"}) {
        statusLines.clear();
        const ConnectionId id = request(req);
        const HttpReply reply = split(net.reply(id));
        EXPECT_EQ(reply.statusLine, "HTTP/1.0 200 OK");
        EXPECT_EQ(reply.body, "UNKNOWN");
        EXPECT_FALSE(net.isOpen(id));
        EXPECT_EQ(statusLines,
                  (std::vector<std::string>{"# Web Server request: " + req,
                                            "Responded to http request with text 'UNKNOWN'"}));
    }
    EXPECT_EQ(state.nBlockedToday, 0);
    EXPECT_EQ(state.nTotBlocked, 0);
    EXPECT_TRUE(sound.played.empty());
    EXPECT_TRUE(ring().empty());
    EXPECT_EQ(updateChecks, 0);
    EXPECT_EQ(form.lbltype.caption(), "Started blocking...10 10");
}

TEST_F(PlaceholderServerTest, BytesThatCanNeverBeginARequestAreAnsweredUnknownAtOnce) {
    constexpr std::size_t kNever = ~std::size_t{0};
    struct Case {
        const char* name;
        std::vector<std::string> pieces;
        std::size_t answeredAfter;  // the piece after which the reply is there, or kNever
        std::string body;
    };
    const std::string tlsHello("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11);
    const std::vector<Case> cases = {
        {"TLS hello", {tlsHello}, 0, "UNKNOWN"},
        {"NUL byte", {std::string(1, '\0')}, 0, "UNKNOWN"},
        {"binary after a method prefix", {"GE", std::string("T\0", 2)}, 1, "UNKNOWN"},
        {"leading line break", {"\r\n", "GET / HTTP/1.0\r\n\r\n"}, 0, "UNKNOWN"},
        {"no blank after GET, in one read", {"GET\r\n\r\n"}, 0, "UNKNOWN"},
        {"a method prefix waits", {"GE"}, kNever, ""},
        {"GET split across reads", {"G", "E", "T", " /x.gif HTTP/1.0\r\n", "\r\n"}, 4, kImage},
        {"lower case waits for its head",
         {"ge", "t / HTTP/1.0\r\n", "Host: a\r\n\r\n"},
         2,
         "UNKNOWN"},
        {"POST waits for its head", {"POST /x HTTP/1.0\r\n", "\r\n"}, 1, "UNKNOWN"},
    };
    server.StartWebServerCrap();
    for (const auto& c : cases) {
        statusLines.clear();
        const ConnectionId id = net.connect();
        std::string sent;
        for (std::size_t i = 0; i < c.pieces.size(); ++i) {
            net.clientSend(id, c.pieces[i]);
            sent += c.pieces[i];
            if (i < c.answeredAfter) {
                EXPECT_EQ(net.reply(id), "") << c.name << ", piece " << i;
                EXPECT_TRUE(net.isOpen(id)) << c.name << ", piece " << i;
                continue;
            }
            EXPECT_EQ(split(net.reply(id)).body, c.body) << c.name;
            EXPECT_FALSE(net.isOpen(id)) << c.name;
            if (c.body == "UNKNOWN") {
                // Logged as every other refused request, with the bytes that decided it.
                EXPECT_EQ(statusLines, (std::vector<std::string>{
                                           "# Web Server request: " + sent,
                                           "Responded to http request with text 'UNKNOWN'"}))
                    << c.name;
            }
            break;
        }
    }
    EXPECT_EQ(state.nBlockedToday, 1);  // the GET split across reads only
}

TEST_F(PlaceholderServerTest, HeadInSeveralPiecesIsAnsweredOnceWhenComplete) {
    server.StartWebServerCrap();
    const ConnectionId id = net.connect();
    for (const std::string piece : {"GE", "T /ads/x.gif HTTP/1.1\r\nHo", "st: ads.example\r\n\r"}) {
        net.clientSend(id, piece);
        EXPECT_EQ(net.reply(id), "");
        EXPECT_TRUE(net.isOpen(id));
    }
    net.clientSend(id, "\n");
    EXPECT_EQ(split(net.reply(id)).body, kImage);
    EXPECT_EQ(state.strLastHost, "ads.example");
    EXPECT_EQ(state.nBlockedToday, 1);
    EXPECT_FALSE(net.isOpen(id));
}

TEST_F(PlaceholderServerTest, OverlongHeadIsAnsweredWithWhatArrived) {
    server.StartWebServerCrap();
    const ConnectionId id = net.connect();
    net.clientSend(id, "GET /x.js HTTP/1.1\r\nCookie: ");
    net.clientSend(id, std::string(RequestParser::kMaxHead, 'c'));
    EXPECT_EQ(split(net.reply(id)).body, "<!-- Java Ad -->");
    EXPECT_FALSE(net.isOpen(id));
    EXPECT_EQ(state.nBlockedToday, 1);
}

TEST_F(PlaceholderServerTest, ClientThatStopsSendingGetsItsPartialRequestAnswered) {
    server.StartWebServerCrap();
    const ConnectionId partial = request("GET /x.gif HTTP/1.0\r\n");
    net.clientShutdown(partial);
    EXPECT_EQ(split(net.reply(partial)).body, kImage);

    const ConnectionId silent = net.connect();
    net.clientShutdown(silent);
    EXPECT_EQ(net.reply(silent), "");
    EXPECT_FALSE(net.isOpen(silent));
    EXPECT_EQ(state.nBlockedToday, 1);
}

TEST_F(PlaceholderServerTest, HeadMustArriveWithinTenSecondsOfTheAcceptHoweverItTrickles) {
    server.StartWebServerCrap();
    const ConnectionId silent = net.connect();
    clock.advance(3s);
    const ConnectionId trickling = request("GET /x.gif HTTP/1.0\r\n");
    // A header line every second would keep a timer that each byte restarts from ever running.
    const auto trickleFor = [&](platform::Millis span) {
        for (platform::Millis t{0}; t < span; t += 500ms) {
            clock.advance(500ms);
            net.clientSend(trickling, "X-a: b\r\n");
        }
    };
    trickleFor(6500ms);  // 9.5 s after the first accept
    EXPECT_TRUE(net.isOpen(silent));
    trickleFor(1500ms);
    EXPECT_FALSE(net.isOpen(silent));
    EXPECT_TRUE(net.isOpen(trickling));
    trickleFor(1500ms);  // 9.5 s after its own accept
    EXPECT_TRUE(net.isOpen(trickling));
    trickleFor(1500ms);
    EXPECT_FALSE(net.isOpen(trickling));
    EXPECT_EQ(net.reply(trickling), "");
    EXPECT_EQ(net.reply(silent), "");
    EXPECT_EQ(state.nBlockedToday, 0);
    EXPECT_EQ(clock.pendingCount(), 0u);  // no sweep keeps running once nothing waits

    // A head completed in time is answered however slowly it came.
    const ConnectionId slowButInTime = request("GET /y.gif HTTP/1.0\r\n");
    clock.advance(9500ms);
    net.clientSend(slowButInTime, "\r\n");
    EXPECT_EQ(split(net.reply(slowButInTime)).body, kImage);
}

TEST_F(PlaceholderServerTest, FullListenerDropsTheOldestUnfinishedHeadToLetANewConnectionIn) {
    net.maxConnections = 3;
    server.StartWebServerCrap();
    const ConnectionId oldest = request("GET /a.gif HTTP/1.0\r\n");
    clock.advance(1s);
    const ConnectionId silent = net.connect();
    clock.advance(1s);
    const ConnectionId newest = request("GET /c.gif HTTP/1.0\r\n");
    net.clientSend(oldest, "X-a: b\r\n");  // sending lately does not save the oldest

    const ConnectionId probe = request("GET /d.gif HTTP/1.0\r\n\r\n");
    ASSERT_NE(probe, 0u);
    EXPECT_EQ(split(net.reply(probe)).body, kImage);
    EXPECT_FALSE(net.isOpen(oldest));
    EXPECT_EQ(net.reply(oldest), "");
    EXPECT_TRUE(net.isOpen(silent));
    EXPECT_TRUE(net.isOpen(newest));

    // Next in line is the silent one, accepted before the newest.
    const ConnectionId filler = net.connect();
    const ConnectionId another = net.connect();
    ASSERT_NE(another, 0u);
    EXPECT_FALSE(net.isOpen(silent));
    EXPECT_TRUE(net.isOpen(newest));
    EXPECT_TRUE(net.isOpen(filler));
    EXPECT_EQ(net.connectionCount(), 3u);

    // The survivors are still served, and the dropped ones left nothing behind.
    net.clientSend(newest, "\r\n");
    EXPECT_EQ(split(net.reply(newest)).body, kImage);
    EXPECT_EQ(state.nBlockedToday, 2);
    clock.advance(20s);
    EXPECT_EQ(net.connectionCount(), 0u);
    EXPECT_EQ(clock.pendingCount(), 0u);
}

TEST_F(PlaceholderServerTest, ManyConnectionsAtOnceAreAllAnswered) {
    server.StartWebServerCrap();
    std::vector<ConnectionId> ids;
    for (int i = 0; i < 200; ++i) {
        ids.push_back(net.connect());
        net.clientSend(ids.back(), "GET /p" + std::to_string(i) + ".gif HTTP/1.0\r\n");
    }
    EXPECT_EQ(net.connectionCount(), 200u);  // no recycle closes connections being answered
    for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
        net.clientSend(*it, "\r\n");
        EXPECT_EQ(split(net.reply(*it)).body, kImage);
    }
    EXPECT_EQ(net.connectionCount(), 0u);
    EXPECT_EQ(state.nBlockedToday, 200);
}

TEST_F(PlaceholderServerTest, StoppedServerStillAnswersConnectionsItAccepted) {
    server.StartWebServerCrap();
    const ConnectionId id = request("GET /x.gif HTTP/1.0\r\n");
    server.StopWebServer();
    net.clientSend(id, "\r\n");
    EXPECT_EQ(split(net.reply(id)).body, kImage);
}

TEST_F(PlaceholderServerTest, BytesAfterTheAnsweredHeadAreIgnored) {
    server.StartWebServerCrap();
    const ConnectionId id = request("GET /x.gif HTTP/1.0\r\n\r\nGET /y.gif HTTP/1.0\r\n\r\n");
    net.clientSend(id, "more");
    EXPECT_EQ(state.nBlockedToday, 1);
    EXPECT_EQ(split(net.reply(id)).body, kImage);
}

}  // namespace
}  // namespace halvern::adservers
