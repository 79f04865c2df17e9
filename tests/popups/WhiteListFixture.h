#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "popups/WhiteList.h"
#include "support/FakePlatform.h"
#include "support/ProgramParts.h"

namespace halvern::popups::fixture {

/// The white list on the fake platform, with the program's folders: the shipped list in the
/// program folder, the user's list in the data folder. The clock reads 09:05:07.
class WhiteListTest : public ::testing::Test {
protected:
    WhiteListTest() {
        fake.clock.setLocalTime({2026, 12, 10, 9, 5, 7});
        fake.files.makeDirectories(testing::FakePlatform::kDataFolder);
        parts.log.observe([this](const std::string& line) { statusLines.push_back(line); });
        parts.rings.ClearLog();
    }

    static std::string listFile(const std::vector<std::string>& entries) {
        std::string text =
            "[DomainCount]\r\nN=" + std::to_string(entries.size()) + "\r\n[Domains]\r\n";
        for (std::size_t i = 0; i < entries.size(); ++i) {
            text += "D" + std::to_string(i) + "=" + entries[i] + "\r\n";
        }
        return text;
    }
    std::string shippedPath() const { return parts.paths.getZVWhiteListIniFileName(); }
    std::string userPath() const { return parts.paths.getWhiteListIniFileName(); }
    /// Puts the shipped list in place and loads it.
    void useShipped(const std::vector<std::string>& entries) {
        fake.files.put(shippedPath(), listFile(entries));
        list.setWhiteListArray();
    }
    /// The popup ring's records, oldest first.
    std::vector<std::string> ring() {
        std::vector<std::string> slots;
        parts.rings.cycIEPopups.GetAllItems(slots);
        std::vector<std::string> items;
        for (std::size_t i = 1; i < slots.size() && !slots[i].empty(); ++i) {
            items.push_back(slots[i]);
        }
        return items;
    }

    testing::FakePlatform fake;
    testing::ProgramParts parts{
        fake.platform,
        core::AppPaths(fake.files,
                       {testing::FakePlatform::kAppFolder, testing::FakePlatform::kAppFolder,
                        testing::FakePlatform::kConfigFolder, testing::FakePlatform::kDataFolder},
                       "/etc/hosts")};
    forms::MainForm& form = parts.form;
    WhiteList list{parts.context, parts.log, parts.rings};
    std::vector<std::string> statusLines;
};

}  // namespace halvern::popups::fixture
