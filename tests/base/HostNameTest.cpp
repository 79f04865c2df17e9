#include "base/HostName.h"

#include <utility>

#include <gtest/gtest.h>

#include <string>

using halvern::base::HostName;

namespace {

struct NameCase {
    std::string name;
    bool valid;
};

TEST(HostName, AcceptsOnlyNamesThatCannotChangeTheHostsFileShape) {
    const std::string label63(63, 'a');
    const std::string name253 =
        label63 + "." + label63 + "." + label63 + "." + std::string(61, 'b');
    const NameCase cases[] = {
        {"ads.example", true},
        {"ad-1.x_y.Example.ORG", true},
        {"localhost", true},
        {"127.0.0.1", true},
        {label63 + ".example", true},
        {std::string(64, 'a') + ".example", false},
        {name253, true},
        {name253 + "b", false},
        {"", false},
        {".example", false},
        {"example.", false},
        {"a..example", false},
        {"a.example other.example", false},
        {"a.example\tother", false},
        {"a.example#comment", false},
        {"a.example\n127.0.0.1 other", false},
        {"a.example\r", false},
        {"exämple.com", false},
        {"a/b", false},
        {std::string("a\0b", 3), false},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(HostName::isValid(c.name), c.valid) << "'" << c.name << "'";
    }
}

TEST(HostName, TheKeyIsWhatSameHostCompares) {
    const std::pair<const char*, const char*> cases[] = {
        {"Ads.Example.", "ads.example"},
        {"ads.example", "ads.example"},
        {"ADS_1.example", "ads_1.example"},
        {"", ""},
    };
    for (const auto& [name, key] : cases) {
        EXPECT_EQ(HostName::key(name), key) << name;
    }
    EXPECT_TRUE(HostName::sameHost("Ads.Example.", "ads.EXAMPLE"));
    EXPECT_EQ(HostName::key("Ads.Example."), HostName::key("ads.EXAMPLE"));
}

TEST(HostName, TheMachinesOwnNamesWhateverTheCaseOrTrailingDot) {
    struct Case {
        const char* name;
        const char* machine;
        bool names;
    };
    const Case cases[] = {
        {"localhost", "", true},
        {"LocalHost", "", true},
        {"localhost.", "", true},
        {"localhost.localdomain", "", true},
        {"LOCALHOST.LOCALDOMAIN.", "", true},
        {"localhost.example", "", false},
        {"mylocalhost", "", false},
        {"ip6-localhost", "", true},
        {"IP6-AllNodes", "", true},
        {"localhost6.localdomain6", "", true},
        {"printer.localhost", "", true},
        {"_gateway", "", true},
        {"_localdnsstub", "", true},
        {"ip6-ads.example", "", false},
        {"workbox", "workbox", true},
        {"WorkBox.", "workbox", true},
        {"workbox", "workbox.lan", true},
        {"workbox.lan", "workbox.lan.", true},
        {"workbox.example", "workbox.lan", false},
        {"lan", "workbox.lan", false},
        {"ads.example", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HostName::namesThisMachine(c.name, c.machine), c.names)
            << c.name << " on " << c.machine;
    }
    EXPECT_FALSE(HostName::sameHost("a.example", "a.example.."));
    EXPECT_FALSE(HostName::sameHost("", "."));
}

}  // namespace
