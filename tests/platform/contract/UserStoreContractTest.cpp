// What every UserStore backend promises, as one typed suite: the in-memory store and the INI
// files in a temporary folder. A driver gives the store and says whether values outlive it.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../linux/LinuxTestSupport.h"
#include "platform/fake/FakeUserStore.h"
#include "platform/linux/PosixFileSystem.h"
#include "platform/linux/XdgUserStore.h"

namespace halvern::platform::contract {
namespace {

class FakeUserStoreDriver {
public:
    static constexpr bool kPersistent = false;
    UserStore& store() { return m_store; }
    void reopen() {}

private:
    FakeUserStore m_store;
};

/// INI files in a fresh folder; reopening makes a new store on the same folder.
class XdgUserStoreDriver {
public:
    static constexpr bool kPersistent = true;
    UserStore& store() { return *m_store; }
    void reopen() { m_store = std::make_unique<XdgUserStore>(m_files, m_folder / "halvern"); }

private:
    testing::TempFolder m_folder;
    PosixFileSystem m_files;
    std::unique_ptr<XdgUserStore> m_store =
        std::make_unique<XdgUserStore>(m_files, m_folder / "halvern");
};

template <typename Driver>
class UserStoreContract : public ::testing::Test {
protected:
    UserStore& store() { return m_driver.store(); }
    Driver m_driver;
};

using Drivers = ::testing::Types<FakeUserStoreDriver, XdgUserStoreDriver>;
class DriverNames {
public:
    template <typename T>
    static std::string GetName(int) {
        return T::kPersistent ? "Xdg" : "Fake";
    }
};
TYPED_TEST_SUITE(UserStoreContract, Drivers, DriverNames);

TYPED_TEST(UserStoreContract, MissingValuesAreNothingAndEmptyValuesAreEmpty) {
    auto& store = this->store();
    EXPECT_EQ(store.get("Zorvik", "Zorvik", "sMissing"), std::nullopt);
    EXPECT_EQ(store.get("Zorvik", "Zorvik", "sMissing", "fallback"), "fallback");

    ASSERT_TRUE(store.set("Zorvik", "Zorvik", "sEmpty", ""));
    EXPECT_EQ(store.get("Zorvik", "Zorvik", "sEmpty"), std::optional<std::string>(""));
    EXPECT_EQ(store.get("Zorvik", "Zorvik", "sEmpty", "fallback"), "");
    EXPECT_EQ(store.get("Zorvik", "Other", "sEmpty"), std::nullopt);
    EXPECT_EQ(store.get("Zorvik", "Zorvik", "sEmpty2"), std::nullopt);
}

TYPED_TEST(UserStoreContract, ValuesRoundTripExactly) {
    auto& store = this->store();
    const std::vector<std::string> values = {"True",
                                             "/opt/halvern/zorvik",
                                             " leading",
                                             "trailing\t",
                                             "in the middle",
                                             "a=b",
                                             "=",
                                             "a;b",
                                             ";comment?",
                                             "[not a section]",
                                             "\"quoted\"",
                                             "'single'",
                                             "\"",
                                             "50%",
                                             std::string(600, 'x'),
                                             "caf\xc3\xa9"};
    for (const std::string& value : values) {
        SCOPED_TRACE(value);
        ASSERT_TRUE(store.set("Zorvik", "Values", "v", value));
        EXPECT_EQ(store.get("Zorvik", "Values", "v"), value);
    }
    ASSERT_TRUE(store.set("Zorvik", "Values", "v", "replaced"));
    EXPECT_EQ(store.get("Zorvik", "Values", "v"), "replaced");
}

TYPED_TEST(UserStoreContract, NamesMatchWithoutRegardToAsciiCaseOrSurroundingBlanks) {
    auto& store = this->store();
    ASSERT_TRUE(store.set("KorvaneSoft", "Installs", "Zorvik", "/opt/zorvik"));
    struct Case {
        std::string application, section, key;
        bool found;
    } cases[] = {
        {"korvanesoft", "INSTALLS", "zorvik", true},
        {"KorvaneSoft", " Installs ", "\tZorvik ", true},
        {"KorvaneSoftX", "Installs", "Zorvik", false},
        {"KorvaneSoft", "Install", "Zorvik", false},
        {"KorvaneSoft", "Installs", "Zorvik2", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.application + "|" + c.section + "|" + c.key);
        EXPECT_EQ(store.get(c.application, c.section, c.key).has_value(), c.found);
    }
    // Only ASCII letters fold: "É" and "é" are different names.
    ASSERT_TRUE(store.set("Zorvik", "Caf\xc3\xa9", "k", "small"));
    EXPECT_EQ(store.get("Zorvik", "CAF\xc3\x89", "k"), std::nullopt);

    // A change through another spelling replaces the value rather than adding one.
    ASSERT_TRUE(store.set("KORVANESOFT", "installs", "ZORVIK", "/usr/local/zorvik"));
    EXPECT_EQ(store.get("KorvaneSoft", "Installs", "Zorvik"), "/usr/local/zorvik");
    EXPECT_TRUE(store.remove("korvanesoft", "installs", "zorvik"));
    EXPECT_EQ(store.get("KorvaneSoft", "Installs", "Zorvik"), std::nullopt);
}

TYPED_TEST(UserStoreContract, ApplicationsAndSectionsKeepApart) {
    auto& store = this->store();
    ASSERT_TRUE(store.set("One", "S", "k", "1"));
    ASSERT_TRUE(store.set("Two", "S", "k", "2"));
    ASSERT_TRUE(store.set("One", "T", "k", "3"));
    // Names that would run together if they were simply joined.
    ASSERT_TRUE(store.set("a\\b", "c", "d", "joined left"));
    ASSERT_TRUE(store.set("a", "b\\c", "d", "joined right"));
    EXPECT_EQ(store.get("One", "S", "k"), "1");
    EXPECT_EQ(store.get("Two", "S", "k"), "2");
    EXPECT_EQ(store.get("One", "T", "k"), "3");
    EXPECT_EQ(store.get("a\\b", "c", "d"), "joined left");
    EXPECT_EQ(store.get("a", "b\\c", "d"), "joined right");

    EXPECT_TRUE(store.remove("One", "S", "k"));
    EXPECT_EQ(store.get("One", "S", "k"), std::nullopt);
    EXPECT_EQ(store.get("Two", "S", "k"), "2");
    EXPECT_EQ(store.get("One", "T", "k"), "3");
}

TYPED_TEST(UserStoreContract, RemoveIsTrueOnlyForAStoredValue) {
    auto& store = this->store();
    EXPECT_FALSE(store.remove("Nobody", "S", "k"));
    ASSERT_TRUE(store.set("Zorvik", "S", "k", "v"));
    EXPECT_FALSE(store.remove("Zorvik", "S", "other"));
    EXPECT_FALSE(store.remove("Zorvik", "Other", "k"));
    EXPECT_TRUE(store.remove("Zorvik", "S", "k"));
    EXPECT_FALSE(store.remove("Zorvik", "S", "k"));
    EXPECT_EQ(store.get("Zorvik", "S", "k"), std::nullopt);
    ASSERT_TRUE(store.set("Zorvik", "S", "k", "again"));
    EXPECT_EQ(store.get("Zorvik", "S", "k"), "again");
}

TYPED_TEST(UserStoreContract, NamesAndValuesALineCannotHoldAreRefused) {
    auto& store = this->store();
    ASSERT_TRUE(store.set("Zorvik", "S", "k", "kept"));
    struct Case {
        const char* why;
        std::string application, section, key, value;
    } cases[] = {
        {"line break in the value", "Zorvik", "S", "k2", "two\nlines"},
        {"carriage return in the value", "Zorvik", "S", "k2", "two\rlines"},
        {"line break in the key", "Zorvik", "S", "k\nx", "v"},
        {"line break in the section", "Zorvik", "S\nx", "k", "v"},
        {"line break in the application", "Zor\nvik", "S", "k", "v"},
        {"'=' in the key", "Zorvik", "S", "a=b", "v"},
        {"']' in the section", "Zorvik", "S]x", "k", "v"},
        {"key opening with '['", "Zorvik", "S", "[k", "v"},
        {"key opening with ';'", "Zorvik", "S", ";k", "v"},
        {"section opening with ';'", "Zorvik", ";S", "k", "v"},
        {"section opening with '['", "Zorvik", " [S", "k", "v"},
        {"empty key", "Zorvik", "S", "", "v"},
        {"blank key", "Zorvik", "S", " \t", "v"},
        {"empty section", "Zorvik", "", "k", "v"},
        {"empty application", "", "S", "k", "v"},
        {"'/' in the application", "a/b", "S", "k", "v"},
        {"application '..'", "..", "S", "k", "v"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_FALSE(store.set(c.application, c.section, c.key, c.value));
        EXPECT_EQ(store.get(c.application, c.section, c.key), std::nullopt);
        EXPECT_FALSE(store.remove(c.application, c.section, c.key));
    }
    EXPECT_EQ(store.get("Zorvik", "S", "k"), "kept");
}

TYPED_TEST(UserStoreContract, ValuesOutliveTheStoreObject) {
    if constexpr (!TypeParam::kPersistent) {
        GTEST_SKIP() << "an in-memory store keeps nothing beyond itself";
    } else {
        ASSERT_TRUE(this->store().set("Zorvik", "Zorvik", "bDisableMessenger", "True"));
        ASSERT_TRUE(this->store().set("Zorvik", "Zorvik", "sGone", "x"));
        ASSERT_TRUE(this->store().remove("Zorvik", "Zorvik", "sGone"));
        this->m_driver.reopen();
        EXPECT_EQ(this->store().get("zorvik", "ZORVIK", "bdisablemessenger"), "True");
        EXPECT_EQ(this->store().get("Zorvik", "Zorvik", "sGone"), std::nullopt);
    }
}

}  // namespace
}  // namespace halvern::platform::contract
