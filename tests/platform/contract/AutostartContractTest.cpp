// What every Autostart backend promises, as one typed suite: the folder in memory and the XDG
// autostart folder in a temporary folder.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../linux/LinuxTestSupport.h"
#include "platform/fake/FakeAutostart.h"
#include "platform/linux/PosixFileSystem.h"
#include "platform/linux/XdgAutostart.h"

namespace halvern::platform::contract {
namespace {

class FakeAutostartDriver {
public:
    static constexpr const char* kName = "Fake";
    Autostart& autostart() { return m_autostart; }

private:
    FakeAutostart m_autostart;
};

/// Entries in a fresh folder whose start-up folder does not exist yet.
class XdgAutostartDriver {
public:
    static constexpr const char* kName = "Xdg";
    Autostart& autostart() { return m_autostart; }

private:
    testing::TempFolder m_config;
    PosixFileSystem m_files;
    XdgAutostart m_autostart{m_files, m_config / "autostart"};
};

template <typename Driver>
class AutostartContract : public ::testing::Test {
protected:
    Autostart& autostart() { return m_driver.autostart(); }
    std::string entryPath() { return autostart().folder() + "/Zorvik" + autostart().entrySuffix(); }
    Driver m_driver;
};

using Drivers = ::testing::Types<FakeAutostartDriver, XdgAutostartDriver>;
class DriverNames {
public:
    template <typename T>
    static std::string GetName(int) {
        return T::kName;
    }
};
TYPED_TEST_SUITE(AutostartContract, Drivers, DriverNames);

TYPED_TEST(AutostartContract, TheFolderIsAbsoluteAndEntriesAreDesktopFiles) {
    const std::string folder = this->autostart().folder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.front(), '/');
    EXPECT_NE(folder.back(), '/');
    EXPECT_EQ(this->autostart().entrySuffix(), ".desktop");
}

TYPED_TEST(AutostartContract, AnEntryIsWrittenReplacedAndRemovedOnce) {
    Autostart& autostart = this->autostart();
    const std::string path = this->entryPath();
    const AutostartEntry entry{"Zorvik", "Popup blocker", "/opt/Halvern/zorvik", "/opt/Halvern",
                               "zorvik"};
    EXPECT_FALSE(autostart.exists(path));
    for (int i = 0; i < 2; ++i) {
        const AutostartResult written = autostart.write(path, entry);
        EXPECT_TRUE(written.done) << written.error;
        EXPECT_EQ(written.error, "");
        EXPECT_TRUE(autostart.exists(path));
    }
    const AutostartResult removed = autostart.remove(path);
    EXPECT_TRUE(removed.done) << removed.error;
    EXPECT_FALSE(autostart.exists(path));
}

TYPED_TEST(AutostartContract, RemovingAMissingEntryGivesTheSystemsWords) {
    const AutostartResult removed = this->autostart().remove(this->entryPath());
    EXPECT_FALSE(removed.done);
    EXPECT_EQ(removed.error, "No such file or directory");
}

}  // namespace
}  // namespace halvern::platform::contract
