#include "core/ListFiles.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/IniDocument.h"
#include "base/ValueConversion.h"
#include "platform/fake/FakeFileSystem.h"

using halvern::base::IniDocument;
using halvern::core::FindListItem;
using halvern::core::LoadListBox;
using halvern::core::SaveListBox;
using halvern::forms::ListBox;
using halvern::platform::FakeFileSystem;
using halvern::platform::FileSystem;
using halvern::platform::ReadFailure;
using halvern::platform::ReadResult;
namespace ValueConversion = halvern::base::ValueConversion;
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

TEST_F(ListFilesTest, ReadWholeSeesEntriesUpToItsWindowAndNeverCutsOne) {
    const std::string name253(253, 'n');
    put("[DomainCount]\nN=5\n[Domains]\nD0=  " + name253 + "  \nD1=" + std::string(301, 'x') +
        "\nD2=" + std::string(300, 'y') + "\nD3=ok\nD4=  \nD5=" + std::string(400, 's') + "\n");
    std::vector<ListFiles::LongEntry> tooLong;
    const ListFiles::List whole = ListFiles::readWhole(files, kPath, 300, tooLong);
    EXPECT_EQ(whole.count, 5);
    EXPECT_EQ(whole.slots,
              (std::vector<std::string>{name253, "", std::string(300, 'y'), "ok", "", ""}));
    ASSERT_EQ(tooLong.size(), 1u) << "D5 lies beyond N";
    EXPECT_EQ(tooLong[0].index, 1);
    EXPECT_EQ(tooLong[0].start, std::string(40, 'x'));
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

/// The list as the INI document's own lookups read it, key by key: what the one-pass reader
/// must agree with.
ListFiles::List byLookups(const std::string& text) {
    const IniDocument doc = IniDocument::parse(text);
    const auto count = ValueConversion::toInt16(doc.get("DomainCount", "N", ""));
    ListFiles::List list;
    list.count = count && *count > 0 ? *count : 0;
    list.slots.assign(static_cast<std::size_t>(list.count) + 1, "");
    for (int i = 0; i < list.count; ++i) {
        if (const auto value = doc.view("Domains", "D" + std::to_string(i))) {
            list.slots[static_cast<std::size_t>(i)] =
                ValueConversion::trimBlanks(value->substr(0, IniDocument::kReadBuffer - 1));
        }
    }
    return list;
}

TEST_F(ListFilesTest, OnePassReadAgreesWithKeyByKeyLookups) {
    const std::string cases[] = {
        "[DomainCount]\nN=3\n[Domains]\nD0=a\nd1=b\nD2=c\n",
        "[Domains]\nD0=items before the count\n[DomainCount]\nN=1\n",
        "[DomainCount]\nN=3\n[Domains]\nD0=first\nD0=second\nD01=no\n[domains]\nD1=ignored\n",
        "[ DomainCount ]\n N = 2 \n[Domains]\n D1 = \"quoted\" \n;D0=comment\n",
        "[DomainCount]\nN=2\nn=5\n[Domains]\nD0=x\n[DomainCount]\nN=9\n",
        "[DomainCount]\nN=-4\n[Domains]\nD0=x\n",
        "D0=before any section\n[DomainCount]\nN=1\n",
        "\xEF\xBB\xBF[DomainCount]\r\nN=1\r\n[Domains]\r\nD0=bom\r\n",
        "[DomainCount]\nN=32767\n[Domains]\nD32766=last\nD32767=beyond\nD99999=far\n",
        "[DomainCount]\nN=1\n[Domains]\nD0=" + std::string(300, 'x') + "\n",
        "[DomainCount]\nN=2\n[Domains]\nD0=" + std::string(248, ' ') + "ab\nD1=\t'  '\n",
        "[DomainCount]\nN=" + std::string(249, '0') + "3\n[Domains]\nD0=cut count\n",
    };
    for (const std::string& text : cases) {
        put(text);
        const ListFiles::List got = ListFiles::read(files, kPath);
        const ListFiles::List expected = byLookups(text);
        EXPECT_EQ(got.count, expected.count) << text;
        EXPECT_EQ(got.slots, expected.slots) << text;
    }

    // Random files made of the pieces the rules turn on.
    const char* const pieces[] = {"[DomainCount]",
                                  "[Domains]",
                                  "[ domains ]",
                                  "[Other]",
                                  "N=",
                                  " n = 3",
                                  "D0=",
                                  "d1 =",
                                  "D2",
                                  "D01=",
                                  "=",
                                  "x",
                                  " y ",
                                  "\"",
                                  "'",
                                  ";",
                                  "1",
                                  "2",
                                  "\n",
                                  "\r\n",
                                  "\n",
                                  "\r"};
    std::uint32_t seed = 2024;
    for (int round = 0; round < 500; ++round) {
        std::string text;
        for (int i = 0; i < 40; ++i) {
            seed = seed * 1664525u + 1013904223u;
            text += pieces[(seed >> 16) % std::size(pieces)];
        }
        put(text);
        const ListFiles::List got = ListFiles::read(files, kPath);
        const ListFiles::List expected = byLookups(text);
        ASSERT_EQ(got.count, expected.count) << text;
        ASSERT_EQ(got.slots, expected.slots) << text;
    }
}

TEST_F(ListFilesTest, AFifoOrAnOversizedFileReadsAsAMissingListInOneRead) {
    std::vector<std::pair<std::string, ReadFailure>> refused;
    files.onReadRefused = [&](const std::string& path, const ReadResult& result) {
        refused.emplace_back(path, result.failure);
    };
    const std::string oneEntry = "[DomainCount]\nN=1\n[Domains]\nD0=ads.example\n";
    const struct {
        const char* name;
        std::function<void()> arrange;
        ReadFailure failure;
    } cases[] = {
        {"FIFO", [&] { files.putSpecial(kPath); }, ReadFailure::NotAFile},
        {"oversized",
         [&] {
             put(oneEntry + std::string(FileSystem::kMaxSettingsBytes - oneEntry.size() + 1, '\n'));
         },
         ReadFailure::TooLarge},
    };
    for (const auto& c : cases) {
        c.arrange();
        refused.clear();
        const ListFiles::List read = ListFiles::read(files, kPath);
        EXPECT_EQ(read.count, 0) << c.name;
        EXPECT_EQ(read.slots, std::vector<std::string>{""}) << c.name;
        EXPECT_EQ(ListFiles::readCountText(files, kPath), std::nullopt) << c.name;
        EXPECT_EQ(loaded(), std::vector<std::string>{}) << c.name;
        EXPECT_EQ(refused,
                  (std::vector<std::pair<std::string, ReadFailure>>(3, {kPath, c.failure})))
            << c.name << ": each operation reads the file once";
        files.remove(kPath);
    }
    // Just within the limit, the list is read.
    put(oneEntry + std::string(FileSystem::kMaxSettingsBytes - oneEntry.size(), '\n'));
    EXPECT_EQ(ListFiles::read(files, kPath).slots, (std::vector<std::string>{"ads.example", ""}));
}

}  // namespace
