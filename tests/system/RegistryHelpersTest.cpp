#include "system/RegistryHelpers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/fake/FakeRegistry.h"

namespace {

using halvern::platform::FakeRegistry;
using halvern::platform::HKEY_CURRENT_USER;
using halvern::platform::HKEY_LOCAL_MACHINE;
using halvern::platform::REG_BINARY;
using halvern::platform::REG_DWORD;
using halvern::platform::REG_SZ;
using halvern::platform::RegistryValue;
using namespace halvern::system;

const std::string kMain = "Software\\Microsoft\\Internet Explorer\\Main";
const std::string kNul(1, '\0');

struct RegistryHelpersTest : ::testing::Test {
    FakeRegistry registry;
};

TEST_F(RegistryHelpersTest, GetRegStringTellsAMissingKeyFromAMissingValue) {
    EXPECT_EQ(GetRegString(registry, HKEY_CURRENT_USER, kMain, "Play_Animations", "no"), "");
    ASSERT_TRUE(registry.createKey(HKEY_CURRENT_USER, kMain));
    EXPECT_EQ(GetRegString(registry, HKEY_CURRENT_USER, kMain, "Play_Animations", "no"), "no");
    // The other root has a key of its own.
    ASSERT_TRUE(SetRegString(registry, HKEY_CURRENT_USER, kMain, "Play_Animations", "yes"));
    EXPECT_EQ(GetRegString(registry, HKEY_LOCAL_MACHINE, kMain, "Play_Animations", "no"), "");
}

TEST_F(RegistryHelpersTest, TextWrittenBySetRegStringReadsBackUnchangedThroughBothReaders) {
    for (const std::string& text :
         {std::string("yes"), std::string(), std::string("a\\b \"c\"\r\nd"), std::string("n"),
          std::string("caf\xc3\xa9"), std::string(9999, 'x')}) {
        SCOPED_TRACE(text.substr(0, 20));
        ASSERT_TRUE(SetRegString(registry, HKEY_CURRENT_USER, kMain, "v", text));
        EXPECT_EQ(registry.value(HKEY_CURRENT_USER, kMain, "v")->data, text + kNul)
            << "stored with its terminating NUL";
        EXPECT_EQ(GetRegString(registry, HKEY_CURRENT_USER, kMain, "v", "default"), text);
        EXPECT_EQ(QueryRegValue(registry, kMain, "v", HKEY_CURRENT_USER), text);
    }
}

TEST_F(RegistryHelpersTest, TheTextReadersDropTheLastCharacterOnlyWhenItIsANul) {
    struct Case {
        const char* why;
        RegistryValue stored;
        std::string getRegString;  ///< with the default "default"
        std::string queryRegValue;
    };
    const std::vector<Case> cases = {
        {"text with its NUL", RegistryValue{REG_SZ, "yes" + kNul}, "yes", "yes"},
        {"text without a NUL keeps its last letter", RegistryValue{REG_SZ, "yes"}, "yes", "yes"},
        {"only one NUL goes", RegistryValue{REG_SZ, "yes" + kNul + kNul}, "yes" + kNul,
         "yes" + kNul},
        {"empty text", RegistryValue{REG_SZ, ""}, "", ""},
        {"a NUL alone", RegistryValue{REG_SZ, kNul}, "", ""},
        {"a number", RegistryValue{REG_DWORD, std::string("\x00\x04\x00\x00", 4)}, "default",
         "1024"},
        {"the largest number", RegistryValue{REG_DWORD, std::string(4, '\xff')}, "default",
         "4294967295"},
        {"binary data", RegistryValue{REG_BINARY, "yes"}, "default", ""},
        {"text over the 10000-byte buffer", RegistryValue{REG_SZ, std::string(10001, 'x')},
         "default", std::string(10001, 'x')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        ASSERT_TRUE(registry.setValue(HKEY_CURRENT_USER, kMain, "v", c.stored));
        EXPECT_EQ(GetRegString(registry, HKEY_CURRENT_USER, kMain, "v", "default"), c.getRegString);
        EXPECT_EQ(QueryRegValue(registry, kMain, "v", HKEY_CURRENT_USER), c.queryRegValue);
    }
    EXPECT_EQ(QueryRegValue(registry, kMain, "missing", HKEY_CURRENT_USER), "");
    EXPECT_EQ(QueryRegValue(registry, "Software\\Missing", "v", HKEY_CURRENT_USER), "");
}

TEST_F(RegistryHelpersTest, GetRegDwordReadsOnlyNumbersOfAtMostFourBytes) {
    const std::string flash = "SOFTWARE\\Flash";
    EXPECT_EQ(GetRegDword(registry, HKEY_LOCAL_MACHINE, flash, "Compatibility Flags"), 0u);
    ASSERT_TRUE(SetRegDword(registry, HKEY_LOCAL_MACHINE, flash, "Compatibility Flags", 1024));
    EXPECT_EQ(registry.value(HKEY_LOCAL_MACHINE, flash, "Compatibility Flags"),
              (RegistryValue{REG_DWORD, std::string("\x00\x04\x00\x00", 4)}))
        << "4 bytes, little-endian";
    EXPECT_EQ(GetRegDword(registry, HKEY_LOCAL_MACHINE, flash, "Compatibility Flags"), 1024u);

    struct Case {
        const char* why;
        RegistryValue stored;
        std::uint32_t number;
    };
    const std::vector<Case> cases = {
        {"text that reads as a number", RegistryValue{REG_SZ, "1024" + kNul}, 0},
        {"four bytes of text", RegistryValue{REG_SZ, std::string("\x00\x04\x00\x00", 4)}, 0},
        {"a number of five bytes", RegistryValue{REG_DWORD, std::string(5, '\x01')}, 0},
        {"a short number", RegistryValue{REG_DWORD, std::string("\x01\x02", 2)}, 0x0201},
        {"the largest number", RegistryValue{REG_DWORD, std::string(4, '\xff')}, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        ASSERT_TRUE(registry.setValue(HKEY_LOCAL_MACHINE, flash, "v", c.stored));
        EXPECT_EQ(GetRegDword(registry, HKEY_LOCAL_MACHINE, flash, "v"), c.number);
    }
}

TEST_F(RegistryHelpersTest, SetKeyValueStringTrimsOneBackslashEachSideAndStoresNoNul) {
    const std::string key = "Software\\Microsoft\\Internet Explorer\\Extensions\\{X}";
    for (const std::string& spelling : {key, "\\" + key + "\\", "\\" + key, key + "\\"}) {
        SCOPED_TRACE(spelling);
        ASSERT_TRUE(SetKeyValueString(registry, HKEY_LOCAL_MACHINE, spelling, "ButtonText",
                                      "Zorvik " + spelling));
        EXPECT_EQ(registry.value(HKEY_LOCAL_MACHINE, key, "ButtonText"),
                  (RegistryValue{REG_SZ, "Zorvik " + spelling}));
    }
    // Only one goes from each side: what is left has an empty part and is refused.
    EXPECT_FALSE(SetKeyValueString(registry, HKEY_LOCAL_MACHINE, "\\\\" + key, "v", "x"));
    EXPECT_FALSE(registry.error().empty());
    EXPECT_EQ(GetRegString(registry, HKEY_LOCAL_MACHINE, key, "ButtonText", "?"),
              "Zorvik " + key + "\\")
        << "the last letter of a value without a NUL is kept";
}

TEST_F(RegistryHelpersTest, AStarNamesTheDefaultValueAndDeletingItKeepsTheKey) {
    const std::string key = "Software\\Classes\\zorvik";
    ASSERT_TRUE(SetKeyValueString(registry, HKEY_CURRENT_USER, key, "*", "default text"));
    ASSERT_TRUE(SetKeyValueString(registry, HKEY_CURRENT_USER, key, "Other", "other"));
    EXPECT_EQ(registry.value(HKEY_CURRENT_USER, key, ""), (RegistryValue{REG_SZ, "default text"}));
    EXPECT_EQ(registry.value(HKEY_CURRENT_USER, key, "*"), std::nullopt) << "no value is named '*'";

    EXPECT_TRUE(DeleteKeyOrValue(registry, HKEY_CURRENT_USER, key, "*"));
    EXPECT_EQ(registry.value(HKEY_CURRENT_USER, key, ""), std::nullopt);
    EXPECT_TRUE(registry.keyExists(HKEY_CURRENT_USER, key));
    EXPECT_EQ(QueryRegValue(registry, key, "Other", HKEY_CURRENT_USER), "other");
    EXPECT_FALSE(DeleteKeyOrValue(registry, HKEY_CURRENT_USER, key, "*"))
        << "nothing left to delete";

    EXPECT_TRUE(DeleteKeyOrValue(registry, HKEY_CURRENT_USER, "\\" + key + "\\", "Other"));
    EXPECT_TRUE(registry.keyExists(HKEY_CURRENT_USER, key));
    EXPECT_TRUE(DeleteKeyOrValue(registry, HKEY_CURRENT_USER, key, ""));
    EXPECT_FALSE(registry.keyExists(HKEY_CURRENT_USER, key));
    EXPECT_TRUE(registry.keyExists(HKEY_CURRENT_USER, "Software\\Classes"));
    EXPECT_FALSE(DeleteKeyOrValue(registry, HKEY_CURRENT_USER, key, ""));
}

TEST_F(RegistryHelpersTest, DeleteRegKeyTakesTheSubkeysAndCountsAMissingKeyAsGone) {
    ASSERT_TRUE(SetRegDword(registry, HKEY_LOCAL_MACHINE, "A\\B", "n", 1));
    ASSERT_TRUE(SetRegString(registry, HKEY_LOCAL_MACHINE, "A\\B\\C", "t", "x"));
    ASSERT_TRUE(SetRegString(registry, HKEY_LOCAL_MACHINE, "A\\BC", "t", "kept"));
    EXPECT_TRUE(DeleteRegKey(registry, HKEY_LOCAL_MACHINE, "a\\b"));
    EXPECT_FALSE(registry.keyExists(HKEY_LOCAL_MACHINE, "A\\B"));
    EXPECT_FALSE(registry.keyExists(HKEY_LOCAL_MACHINE, "A\\B\\C"));
    EXPECT_EQ(GetRegString(registry, HKEY_LOCAL_MACHINE, "A\\BC", "t", ""), "kept");
    EXPECT_TRUE(DeleteRegKey(registry, HKEY_LOCAL_MACHINE, "A\\B")) << "already gone";
}

TEST_F(RegistryHelpersTest, WritersSayWhenTheRegistryRefusedTheChange) {
    ASSERT_TRUE(SetRegDword(registry, HKEY_LOCAL_MACHINE, "K", "n", 7));
    registry.refuseChanges(HKEY_LOCAL_MACHINE, "Permission denied");
    EXPECT_FALSE(SetRegDword(registry, HKEY_LOCAL_MACHINE, "K", "n", 1));
    EXPECT_EQ(registry.error(), "Permission denied");
    EXPECT_FALSE(SetRegString(registry, HKEY_LOCAL_MACHINE, "K", "t", "x"));
    EXPECT_FALSE(SetKeyValueString(registry, HKEY_LOCAL_MACHINE, "K", "t", "x"));
    EXPECT_FALSE(DeleteRegKey(registry, HKEY_LOCAL_MACHINE, "K"));
    EXPECT_FALSE(DeleteKeyOrValue(registry, HKEY_LOCAL_MACHINE, "K", ""));
    EXPECT_EQ(GetRegDword(registry, HKEY_LOCAL_MACHINE, "K", "n"), 7u) << "nothing changed";
    EXPECT_TRUE(SetRegString(registry, HKEY_CURRENT_USER, "K", "t", "x"))
        << "the other root is still writable";
}

}  // namespace
