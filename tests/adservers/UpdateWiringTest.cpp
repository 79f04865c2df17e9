// The ad-data update as the program wires it: the stored proxy and update server, Ctrl+D, and the
// automatic update started by the placeholder server.
#include <gtest/gtest.h>

#include "program/Program.h"
#include "support/FakePlatform.h"

namespace {

using namespace std::chrono_literals;

struct UpdateWiringTest : ::testing::Test {
    halvern::testing::FakePlatform fake;
    halvern::program::Program program{fake.platform};

    UpdateWiringTest() {
        fake.userStore.set("Zorvik", "State", "FirstStart", "Done");
        fake.files.put(halvern::testing::FakePlatform::kConfigFolder + "/zorvik.ini",
                       "[Settings]\r\nProxyName=proxy.lan\r\nProxyPort=3128\r\n"
                       "UpdateServer=http://mirror.test/\r\n");
        fake.files.put("/opt/halvern/zorvikhosts.ini",
                       "[DomainCount]\r\nN=1\r\n[Domains]\r\nD0=ads.example\r\n");
    }
    std::vector<std::string> urls() const {
        std::vector<std::string> asked;
        for (const auto& request : fake.http.requests) {
            if (asked.empty() || asked.back() != request.url) {
                asked.push_back(request.url);
            }
        }
        return asked;
    }
};

TEST_F(UpdateWiringTest, TheStoredProxyAndServerReachTheDownloads) {
    program.Form_Load();
    EXPECT_EQ(fake.http.proxy, "proxy.lan:3128");
    program.form().mnuUpdate.click();
    EXPECT_EQ(urls(), std::vector<std::string>{"http://mirror.test/zshared/updatedate.txt"});
    EXPECT_EQ(fake.userStore.get("Zorvik", "State", "Starts", ""), "1");
}

TEST_F(UpdateWiringTest, TheTenthAdOfTheThirdStartStartsTheUpdate) {
    fake.userStore.set("Zorvik", "State", "Starts", "2");
    program.Form_Load();
    fake.clock.advance(3000ms);
    ASSERT_TRUE(fake.listener.isListening());
    for (int i = 0; i < 10; ++i) {
        const auto id = fake.listener.connect();
        fake.listener.clientSend(id, "GET /a.gif HTTP/1.0\r\nHost: ads.example\r\n\r\n");
    }
    EXPECT_TRUE(fake.http.requests.empty()) << "not inside the server's handler";
    fake.clock.advance(0ms);
    EXPECT_EQ(urls(), std::vector<std::string>{"http://mirror.test/zshared/updatedate.txt"});
}

}  // namespace
