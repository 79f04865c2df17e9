// What every Registry backend promises, as one typed suite: the in-memory registry and the
// registry files in a temporary folder. A driver gives the registry and says whether values
// outlive it.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../linux/LinuxTestSupport.h"
#include "platform/fake/FakeRegistry.h"
#include "platform/linux/FileRegistry.h"
#include "platform/linux/PosixFileSystem.h"

namespace halvern::platform::contract {
namespace {

class FakeRegistryDriver {
public:
    static constexpr bool kPersistent = false;
    Registry& registry() { return m_registry; }
    void reopen() {}

private:
    FakeRegistry m_registry;
};

/// Registry files in a fresh folder (made by the first change); reopening makes a new registry
/// on the same folder.
class FileRegistryDriver {
public:
    static constexpr bool kPersistent = true;
    Registry& registry() { return *m_registry; }
    void reopen() { m_registry = std::make_unique<FileRegistry>(m_files, m_folder / "halvern"); }

private:
    testing::TempFolder m_folder;
    PosixFileSystem m_files;
    std::unique_ptr<FileRegistry> m_registry =
        std::make_unique<FileRegistry>(m_files, m_folder / "halvern");
};

template <typename Driver>
class RegistryContract : public ::testing::Test {
protected:
    Registry& registry() { return m_driver.registry(); }
    Driver m_driver;
};

using Drivers = ::testing::Types<FakeRegistryDriver, FileRegistryDriver>;
class DriverNames {
public:
    template <typename T>
    static std::string GetName(int) {
        return T::kPersistent ? "File" : "Fake";
    }
};
TYPED_TEST_SUITE(RegistryContract, Drivers, DriverNames);

const std::string kMain = "Software\\Microsoft\\Internet Explorer\\Main";

TYPED_TEST(RegistryContract, KeysAndValuesAreMissingUntilMadeAndAKeyBringsItsParents) {
    Registry& r = this->registry();
    EXPECT_TRUE(r.keyExists(HKEY_CURRENT_USER, "")) << "the root is always there";
    EXPECT_FALSE(r.keyExists(HKEY_CURRENT_USER, kMain));
    EXPECT_EQ(r.value(HKEY_CURRENT_USER, kMain, "Play_Animations"), std::nullopt);

    ASSERT_TRUE(r.createKey(HKEY_CURRENT_USER, kMain));
    for (const char* key :
         {"Software", "Software\\Microsoft", "Software\\Microsoft\\Internet Explorer",
          "Software\\Microsoft\\Internet Explorer\\Main"}) {
        EXPECT_TRUE(r.keyExists(HKEY_CURRENT_USER, key)) << key;
    }
    EXPECT_EQ(r.value(HKEY_CURRENT_USER, kMain, "Play_Animations"), std::nullopt)
        << "a key without values";
    EXPECT_TRUE(r.createKey(HKEY_CURRENT_USER, kMain)) << "an existing key is fine";
    EXPECT_FALSE(r.keyExists(HKEY_LOCAL_MACHINE, kMain)) << "each root has its own keys";
    EXPECT_FALSE(r.keyExists(HKEY_CURRENT_USER, "Software\\Micro"));
}

TYPED_TEST(RegistryContract, TypesAndDataRoundTripByteForByte) {
    Registry& r = this->registry();
    const std::string nul(1, '\0');
    std::string everyByte;
    for (int b = 0; b < 256; ++b) {
        everyByte += static_cast<char>(b);
    }
    const std::vector<RegistryValue> values = {
        {REG_SZ, "yes" + nul},
        {REG_SZ, "yes"},
        {REG_SZ, ""},
        {REG_SZ, nul},
        {REG_SZ, "two" + nul + "parts" + nul + nul},
        {REG_SZ, "line\r\nbreaks\nand \"quotes\" 100% \\back\\slash\\"},
        {REG_SZ, "%41 is not A, \"\" is not empty"},
        {REG_SZ, "caf\xc3\xa9 \xff\xfe"},
        {REG_SZ, everyByte},
        {REG_SZ, std::string(100000, 'x')},
        {REG_DWORD, std::string("\x00\x04\x00\x00", 4)},
        {REG_DWORD, std::string(4, '\xff')},
        {REG_DWORD, "\x01"},
        {REG_BINARY, everyByte},
        {0xFFFFFFFFu, "any type code"},
        {0, ""},
    };
    for (const RegistryValue& v : values) {
        SCOPED_TRACE(std::to_string(v.type) + ": " + v.data.substr(0, 30));
        ASSERT_TRUE(r.setValue(HKEY_CURRENT_USER, kMain, "v", v)) << r.error();
        EXPECT_EQ(r.value(HKEY_CURRENT_USER, kMain, "v"), v);
    }
}

TYPED_TEST(RegistryContract, NamesAndPathsHoldAnyBytesButABackslashSplitsAPath) {
    Registry& r = this->registry();
    const std::vector<std::string> names = {"",
                                            "Disable Script Debugger",
                                            "*",
                                            "a\\b",
                                            "\"q\"",
                                            "%20",
                                            "line\nbreak",
                                            std::string("n\0ul", 4),
                                            "caf\xc3\xa9",
                                            "key \"x\" 1 \"y\""};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(r.setValue(HKEY_CURRENT_USER, "Odd\\{D27CDB6E} [x] \"y\" %z", name,
                               {REG_SZ, "for " + name}))
            << r.error();
    }
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(r.value(HKEY_CURRENT_USER, "Odd\\{D27CDB6E} [x] \"y\" %z", name),
                  (RegistryValue{REG_SZ, "for " + name}));
    }
    EXPECT_EQ(r.value(HKEY_CURRENT_USER, "Odd\\{D27CDB6E} [x] \"y\" %z", "a"), std::nullopt);
    EXPECT_TRUE(r.keyExists(HKEY_CURRENT_USER, "Odd"));
}

TYPED_TEST(RegistryContract, PathsAndNamesMatchWithoutRegardToAsciiCase) {
    Registry& r = this->registry();
    ASSERT_TRUE(r.setValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Flash", "Compatibility Flags",
                           {REG_DWORD, std::string("\x00\x04\x00\x00", 4)}));
    EXPECT_TRUE(r.keyExists(HKEY_LOCAL_MACHINE, "software\\FLASH"));
    EXPECT_EQ(r.value(HKEY_LOCAL_MACHINE, "Software\\flash", "COMPATIBILITY flags"),
              (RegistryValue{REG_DWORD, std::string("\x00\x04\x00\x00", 4)}));
    // Another spelling replaces the value instead of adding one.
    ASSERT_TRUE(r.setValue(HKEY_LOCAL_MACHINE, "software\\flash", "compatibility flags",
                           {REG_DWORD, std::string(4, '\0')}));
    EXPECT_EQ(r.value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Flash", "Compatibility Flags"),
              (RegistryValue{REG_DWORD, std::string(4, '\0')}));
    EXPECT_EQ(r.removeValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\FLASH", "COMPATIBILITY FLAGS"),
              RegistryRemoval::Removed);
    EXPECT_EQ(r.value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Flash", "Compatibility Flags"), std::nullopt);

    // Only ASCII letters fold: "É" and "é" are different names.
    ASSERT_TRUE(r.setValue(HKEY_LOCAL_MACHINE, "Caf\xc3\xa9", "n", {REG_SZ, "small"}));
    EXPECT_FALSE(r.keyExists(HKEY_LOCAL_MACHINE, "CAF\xc3\x89"));
}

TYPED_TEST(RegistryContract, RemovalsSayWhetherThereWasAnythingToRemove) {
    Registry& r = this->registry();
    ASSERT_TRUE(r.setValue(HKEY_LOCAL_MACHINE, "A\\B", "", {REG_SZ, "default"}));
    ASSERT_TRUE(r.setValue(HKEY_LOCAL_MACHINE, "A\\B", "other", {REG_SZ, "other"}));
    ASSERT_TRUE(r.setValue(HKEY_LOCAL_MACHINE, "A\\B\\C\\D", "deep", {REG_SZ, "deep"}));
    ASSERT_TRUE(r.setValue(HKEY_LOCAL_MACHINE, "A\\BC", "sibling", {REG_SZ, "kept"}));
    ASSERT_TRUE(r.setValue(HKEY_LOCAL_MACHINE, "A\\B!", "sibling", {REG_SZ, "kept"}));

    EXPECT_EQ(r.removeValue(HKEY_LOCAL_MACHINE, "A\\B", ""), RegistryRemoval::Removed);
    EXPECT_EQ(r.removeValue(HKEY_LOCAL_MACHINE, "A\\B", ""), RegistryRemoval::Missing);
    EXPECT_EQ(r.removeValue(HKEY_LOCAL_MACHINE, "A\\X", "other"), RegistryRemoval::Missing);
    EXPECT_TRUE(r.keyExists(HKEY_LOCAL_MACHINE, "A\\B")) << "the key stays without the value";
    EXPECT_EQ(r.value(HKEY_LOCAL_MACHINE, "A\\B", "other"), (RegistryValue{REG_SZ, "other"}));

    EXPECT_EQ(r.removeKey(HKEY_LOCAL_MACHINE, "a\\b"), RegistryRemoval::Removed);
    for (const char* gone : {"A\\B", "A\\B\\C", "A\\B\\C\\D"}) {
        EXPECT_FALSE(r.keyExists(HKEY_LOCAL_MACHINE, gone)) << gone;
    }
    EXPECT_EQ(r.value(HKEY_LOCAL_MACHINE, "A\\BC", "sibling"), (RegistryValue{REG_SZ, "kept"}));
    EXPECT_EQ(r.value(HKEY_LOCAL_MACHINE, "A\\B!", "sibling"), (RegistryValue{REG_SZ, "kept"}));
    EXPECT_TRUE(r.keyExists(HKEY_LOCAL_MACHINE, "A"));
    EXPECT_EQ(r.removeKey(HKEY_LOCAL_MACHINE, "A\\B"), RegistryRemoval::Missing);

    EXPECT_EQ(r.removeKey(HKEY_LOCAL_MACHINE, ""), RegistryRemoval::Failed) << "the root cannot go";
    EXPECT_FALSE(r.error().empty());
    EXPECT_TRUE(r.keyExists(HKEY_LOCAL_MACHINE, "A"));

    // A key made again is empty.
    ASSERT_TRUE(r.createKey(HKEY_LOCAL_MACHINE, "A\\B\\C"));
    EXPECT_EQ(r.value(HKEY_LOCAL_MACHINE, "A\\B\\C\\D", "deep"), std::nullopt);
}

TYPED_TEST(RegistryContract, OtherRootsAndPathsWithAnEmptyPartAreRefused) {
    Registry& r = this->registry();
    ASSERT_TRUE(r.setValue(HKEY_CURRENT_USER, "A\\B", "n", {REG_SZ, "kept"}));
    struct Case {
        const char* why;
        RegistryRoot root;
        std::string key;
    } cases[] = {
        {"HKEY_CLASSES_ROOT", 0x80000000u, "A"},
        {"HKEY_USERS", 0x80000003u, "A"},
        {"no root", 0, "A"},
        {"leading backslash", HKEY_CURRENT_USER, "\\A\\B"},
        {"trailing backslash", HKEY_CURRENT_USER, "A\\B\\"},
        {"double backslash", HKEY_CURRENT_USER, "A\\\\B"},
        {"a backslash alone", HKEY_CURRENT_USER, "\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_FALSE(r.setValue(c.root, c.key, "n", {REG_SZ, "x"}));
        EXPECT_FALSE(r.error().empty());
        EXPECT_FALSE(r.createKey(c.root, c.key));
        EXPECT_FALSE(r.keyExists(c.root, c.key));
        EXPECT_EQ(r.value(c.root, c.key, "n"), std::nullopt);
        EXPECT_EQ(r.removeValue(c.root, c.key, "n"), RegistryRemoval::Failed);
        EXPECT_EQ(r.removeKey(c.root, c.key), RegistryRemoval::Failed);
    }
    EXPECT_EQ(r.value(HKEY_CURRENT_USER, "A\\B", "n"), (RegistryValue{REG_SZ, "kept"}));
}

TYPED_TEST(RegistryContract, KeysAndValuesOutliveTheRegistryObject) {
    if constexpr (!TypeParam::kPersistent) {
        GTEST_SKIP() << "an in-memory registry keeps nothing beyond itself";
    } else {
        Registry& r = this->registry();
        ASSERT_TRUE(r.setValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Flash", "Compatibility Flags",
                               {REG_DWORD, std::string("\x00\x04\x00\x00", 4)}));
        ASSERT_TRUE(r.createKey(HKEY_CURRENT_USER, "Empty\\Key"));
        ASSERT_TRUE(r.setValue(HKEY_CURRENT_USER, "Gone", "v", {REG_SZ, "x"}));
        ASSERT_EQ(r.removeKey(HKEY_CURRENT_USER, "Gone"), RegistryRemoval::Removed);
        this->m_driver.reopen();
        Registry& again = this->registry();
        EXPECT_EQ(again.value(HKEY_LOCAL_MACHINE, "software\\flash", "compatibility flags"),
                  (RegistryValue{REG_DWORD, std::string("\x00\x04\x00\x00", 4)}));
        EXPECT_TRUE(again.keyExists(HKEY_CURRENT_USER, "Empty\\Key"));
        EXPECT_FALSE(again.keyExists(HKEY_CURRENT_USER, "Gone"));
        EXPECT_FALSE(again.keyExists(HKEY_CURRENT_USER, "SOFTWARE\\Flash"));
    }
}

}  // namespace
}  // namespace halvern::platform::contract
