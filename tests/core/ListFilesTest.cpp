#include "core/ListFiles.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/fake/FakeFileSystem.h"

using halvern::core::FindListItem;
using halvern::core::LoadListBox;
using halvern::core::SaveListBox;
using halvern::forms::ListBox;
using halvern::platform::FakeFileSystem;
namespace ListFiles = halvern::core::ListFiles;

namespace {

const std::string kPath = "/app/usertitles.ini";

struct ListFilesTest : ::testing::Test {
    ListFilesTest() { files.makeDirectories("/app"); }  // the program's own folder

    FakeFileSystem files;
    ListBox list{"lstTitles"};

    void put(const std::string& text) { files.put(kPath, text); }
    std::vector<std::string> loaded() {
        list.clear();
        LoadListBox(list, "DomainCount", "Domains", files, kPath);
        return list.items();
    }
};

TEST_F(ListFilesTest, CountIsASixteenBitNumber) {
    const struct {
        const char* file;
        std::optional<std::int16_t> count;
        std::size_t slots;  // readArray's size: N + 1, or 1 for a list that reads as empty
    } cases[] = {
        {"[DomainCount]\nN=2\n", 2, 3},
        {"[domaincount]\nn = 32767 \n", 32767, 32768},
        {"[DomainCount]\nN=0\n", 0, 1},
        {"[DomainCount]\nN=-1\n", -1, 1},
        {"[DomainCount]\nN=32768\n", std::nullopt, 1},
        {"[DomainCount]\nN=40000\n", std::nullopt, 1},
        {"[DomainCount]\nN=abc\n", std::nullopt, 1},
        {"[DomainCount]\nN=\n", std::nullopt, 1},
        {"[Domains]\nN=2\n", std::nullopt, 1},
        {"\x01\x02\xff\0garbage", std::nullopt, 1},
    };
    for (const auto& c : cases) {
        put(c.file);
        EXPECT_EQ(ListFiles::readCount(files, kPath), c.count) << c.file;
        EXPECT_EQ(ListFiles::readArray(files, kPath).size(), c.slots) << c.file;
    }
    EXPECT_EQ(ListFiles::readCount(files, "/app/missing.ini"), std::nullopt);
    EXPECT_EQ(ListFiles::readArray(files, "/app/missing.ini"), std::vector<std::string>{""});
}

TEST_F(ListFilesTest, CountTextIsReadAsItStands) {
    put("[DomainCount]\nN= 40000 \n");
    EXPECT_EQ(ListFiles::readCountText(files, kPath), "40000");
    put("[DomainCount]\nN=" + std::string(300, '9') + "\n");
    EXPECT_EQ(ListFiles::readCountText(files, kPath)->size(), 249u);
    EXPECT_EQ(ListFiles::readCountText(files, "/app/missing.ini"), std::nullopt);
}

TEST_F(ListFilesTest, GapsAreSkippedByListBoxesAndKeptByArrays) {
    put("[DomainCount]\r\nN=3\r\n[Domains]\r\nD0=first\r\nD2=  third  \r\n");
    EXPECT_EQ(loaded(), (std::vector<std::string>{"first", "third"}));
    EXPECT_EQ(ListFiles::readArray(files, kPath),
              (std::vector<std::string>{"first", "", "third", ""}));

    std::vector<int> indices;
    EXPECT_EQ(ListFiles::forEachEntry(files, kPath,
                                      [&](int i, const std::string&) { indices.push_back(i); }),
              3);
    EXPECT_EQ(indices, (std::vector<int>{0, 2}));
}

TEST_F(ListFilesTest, EntriesAreBoundedByCountTrimmedAndCut) {
    put("[DomainCount]\nN=4\n[Domains]\nD0=only\nD1=   \nD2=" + std::string(248, 'a') +
        "  tail\nD3=  Only \nD4=stale\nD5=stale\n");
    const auto slots = ListFiles::readArray(files, kPath);
    ASSERT_EQ(slots.size(), 5u);
    EXPECT_EQ(slots[1], "") << "a blank entry is a gap";
    EXPECT_EQ(slots[2], std::string(248, 'a')) << "cut to 249, then the cut's blank trimmed";
    EXPECT_EQ(slots[3], "Only");
    EXPECT_EQ(loaded(), (std::vector<std::string>{"only", std::string(248, 'a'), "Only"}))
        << "entries differing in case and blanks are both kept; D4 and D5 are beyond N";
}

TEST_F(ListFilesTest, SaveWritesOnceKeepsOtherLinesAndStaleKeys) {
    put("; my titles\r\n[DomainCount]\r\nN=5\r\n[Domains]\r\nD0=a\r\nD1=b\r\nD2=c\r\nD3=d\r\n"
        "D4=e\r\n");
    list.addItem(" New One ");
    list.addItem("second");
    ASSERT_TRUE(SaveListBox(list, "DomainCount", "Domains", files, kPath));
    EXPECT_EQ(files.writes(kPath), 1);
    EXPECT_EQ(files.text(kPath),
              "; my titles\r\n[DomainCount]\r\nN=2\r\n[Domains]\r\nD0= New One \r\nD1=second\r\n"
              "D2=c\r\nD3=d\r\nD4=e\r\n");
    EXPECT_EQ(loaded(), (std::vector<std::string>{"New One", "second"}));
}

TEST_F(ListFilesTest, SaveCreatesTheFileAndAnEmptyListWritesOnlyTheCount) {
    ASSERT_TRUE(SaveListBox(list, "DomainCount", "Domains", files, kPath));
    EXPECT_EQ(files.text(kPath), "[DomainCount]\r\nN=0\r\n");

    for (int i = 0; i < 300; ++i) {
        list.addItem("host" + std::to_string(i) + ".example");
    }
    ASSERT_TRUE(SaveListBox(list, "DomainCount", "Domains", files, kPath));
    EXPECT_EQ(loaded(), list.items());
}

TEST_F(ListFilesTest, FullSizeListRoundTripsInOneWrite) {
    for (int i = 0; i < ListFiles::kMaxEntries; ++i) {
        list.addItem("ads" + std::to_string(i) + ".example");
    }
    ASSERT_TRUE(SaveListBox(list, "DomainCount", "Domains", files, kPath));
    EXPECT_EQ(files.writes(kPath), 1);
    const auto slots = ListFiles::readArray(files, kPath);
    ASSERT_EQ(slots.size(), 32768u);
    EXPECT_EQ(slots[32766], "ads32766.example");
    EXPECT_EQ(slots[32767], "");
    EXPECT_EQ(ListFiles::readCount(files, kPath), 32767);
}

TEST_F(ListFilesTest, SaveReportsAFailedWriteAndLeavesTheFile) {
    const std::string old = "[DomainCount]\nN=1\n[Domains]\nD0=keep\n";
    put(old);
    list.addItem("lost");
    files.setReadOnly(kPath);
    EXPECT_FALSE(SaveListBox(list, "DomainCount", "Domains", files, kPath));
    EXPECT_EQ(files.text(kPath), old);

    files.setReadOnly(kPath, false);
    files.setUnreadable(kPath);
    EXPECT_FALSE(SaveListBox(list, "DomainCount", "Domains", files, kPath))
        << "a file we could not read is not replaced";
    EXPECT_EQ(files.text(kPath), old);
}

TEST_F(ListFilesTest, FindListItemComparesTrimmedAndLowerCasedSelectingAsItWalks) {
    for (const char* item : {"Alpha", "  BETA ", "beta", "Gamma"}) {
        list.addItem(item);
    }
    std::vector<int> selected;
    list.onClick = [&] { selected.push_back(list.listIndex()); };

    int index = -7;
    EXPECT_TRUE(FindListItem(" beta", list, index));
    EXPECT_EQ(index, 1);
    EXPECT_EQ(selected, (std::vector<int>{0, 1}));

    selected.clear();
    index = -7;
    EXPECT_FALSE(FindListItem("delta", list, index));
    EXPECT_EQ(index, -7);
    EXPECT_EQ(list.listIndex(), 3) << "the walk ends on the last item";
    EXPECT_EQ(selected, (std::vector<int>{0, 1, 2, 3})) << "every walk starts at the top";

    ListBox empty{"empty"};
    EXPECT_FALSE(FindListItem("x", empty, index));
    EXPECT_EQ(empty.listIndex(), -1);
}

}  // namespace
