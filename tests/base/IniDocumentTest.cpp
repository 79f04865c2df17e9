#include "base/IniDocument.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "core/IniFile.h"
#include "platform/fake/FakeFileSystem.h"

using halvern::base::IniDocument;
using halvern::core::IniFile;
using halvern::platform::FakeFileSystem;
using halvern::platform::FileSystem;

namespace {

const char* const kSample =
    "; Zorvik settings\r\n"
    "stray=before any section\r\n"
    "[Settings]\r\n"
    "  ProxyName  =  proxy.example  \r\n"
    "bMinimized=True\r\n"
    "PROXYNAME=second wins never\r\n"
    ";bStartup=0\r\n"
    "Quoted=\"  kept blanks  \"\r\n"
    "Single='x'\r\n"
    "Mismatched=\"x'\r\n"
    "Tabbed=\tvalue\t\r\n"
    "Empty=\r\n"
    "no equals sign here\r\n"
    "\r\n"
    "[ Other ]\r\n"
    "A=1\r\n"
    "[settings]\r\n"
    "bMinimized=False\r\n"
    "Late=only in the second section\r\n";

TEST(IniDocument, ReadsWithTheProfileRules) {
    const IniDocument doc = IniDocument::parse(kSample);
    const struct {
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    } cases[] = {
        {"Settings", "ProxyName", "proxy.example"},
        {"SETTINGS", "proxyname", "proxy.example"},
        {"Settings", "bMinimized", "True"},
        {"Settings", "Quoted", "  kept blanks  "},
        {"Settings", "Single", "x"},
        {"Settings", "Mismatched", "\"x'"},
        {"Settings", "Tabbed", "value"},
        {"Settings", "Empty", ""},
        {"Settings", "bStartup", std::nullopt},
        {"Settings", ";bStartup", std::nullopt},
        {"Settings", "no equals sign here", std::nullopt},
        {"Settings", "Late", std::nullopt},
        {"Settings", "stray", std::nullopt},
        {"Other", "A", "1"},
        {"Missing", "A", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(doc.get(c.section, c.key), c.expected) << c.section << "/" << c.key;
    }
}

TEST(IniDocument, FallbackAndReadBufferCut) {
    IniDocument doc = IniDocument::parse("[S]\nLong=" + std::string(300, 'x') + "\nShort=ab\n");
    EXPECT_EQ(doc.get("S", "Long", "").size(), 249u);
    EXPECT_EQ(doc.get("S", "Long")->size(), 300u) << "the uncut read sees everything";
    EXPECT_EQ(doc.get("S", "Short", "", 2), "a");
    EXPECT_EQ(doc.get("S", "Missing", "dflt  "), "dflt");
    EXPECT_EQ(doc.get("S", "Missing", std::string(400, 'd')).size(), 249u);
}

TEST(IniDocument, EntriesListTheFirstSectionInFileOrder) {
    const auto entries = IniDocument::parse(kSample).entries("settings");
    ASSERT_EQ(entries.size(), 8u);
    EXPECT_EQ(entries[0], (std::pair<std::string, std::string>("ProxyName", "proxy.example")));
    EXPECT_EQ(entries[2].first, "PROXYNAME");
    EXPECT_EQ(entries[7].first, "Empty");
}

TEST(IniDocument, UntouchedTextRoundTrips) {
    for (const std::string& text : {std::string(kSample), std::string("[S]\nA=1\n; c\n"),
                                    std::string("[S]\r\nA=1"), std::string("")}) {
        EXPECT_EQ(IniDocument::parse(text).text(), text);
    }
}

TEST(IniDocument, SetReplacesTheFirstMatchInPlace) {
    IniDocument doc = IniDocument::parse(kSample);
    doc.set("settings", "proxyname", "new.proxy");
    std::string expected = kSample;
    expected.replace(expected.find("  proxy.example  "), 17, "new.proxy");
    EXPECT_EQ(doc.text(), expected);
    EXPECT_EQ(doc.get("Settings", "ProxyName"), "new.proxy");
}

TEST(IniDocument, SetAddsAKeyAfterTheSectionsLastKeyLine) {
    IniDocument doc = IniDocument::parse("[A]\nx=1\n; about B\n\n[B]\ny=2\n");
    doc.set("a", "z", "3");
    doc.set("B", "w", "4");
    EXPECT_EQ(doc.text(), "[A]\nx=1\nz=3\n; about B\n\n[B]\ny=2\nw=4\n");
    doc.set("C", "v", "5");
    EXPECT_EQ(doc.text(), "[A]\nx=1\nz=3\n; about B\n\n[B]\ny=2\nw=4\n[C]\nv=5\n");
}

TEST(IniDocument, LineEndingOfTheFileIsKept) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"", "[S]\r\nk=v\r\n"},
        {"[S]\r\n", "[S]\r\nk=v\r\n"},
        {"[S]\n", "[S]\nk=v\n"},
        {"; no ending at the end", "; no ending at the end\r\n[S]\r\nk=v\r\n"},
        {"[S]\nold=1", "[S]\nold=1\nk=v\n"},
        {"[S]\r\n[T]\r\nx=1", "[S]\r\nk=v\r\n[T]\r\nx=1"},
    };
    for (const auto& c : cases) {
        IniDocument doc = IniDocument::parse(c.text);
        doc.set("S", "k", "v");
        EXPECT_EQ(doc.text(), c.expected) << c.text;
    }
    EXPECT_EQ(IniDocument().lineEnding(), "\r\n");
}

TEST(IniDocument, SetCannotInjectLinesOrUnreadableNames) {
    IniDocument doc = IniDocument::parse("[S]\n");
    doc.set("S", "Title", "first\r\n[Evil]\r\nkey=1");
    EXPECT_EQ(doc.get("S", "Title"), "first  [Evil]  key=1");
    EXPECT_EQ(doc.get("Evil", "key"), std::nullopt);
    for (const char* key : {"", "  ", "a=b", ";c", "[d", "e\nf"}) {
        doc.set("S", key, "x");
    }
    doc.set("T]", "k", "x");
    EXPECT_EQ(IniDocument::parse(doc.text()).entries("S").size(), 1u);
    EXPECT_EQ(doc.text(), "[S]\nTitle=first  [Evil]  key=1\n");
}

TEST(IniDocument, IndexStaysValidAcrossRemoveAndSet) {
    IniDocument doc = IniDocument::parse("[S]\nA=1\nB=2\nA=shadowed\nC=3\n;tail\n");
    EXPECT_TRUE(doc.remove("s", "a"));
    EXPECT_EQ(doc.get("S", "A"), "shadowed") << "the next line with the key becomes the first";
    EXPECT_EQ(doc.get("S", "C"), "3");
    EXPECT_FALSE(doc.remove("S", "Missing"));
    EXPECT_FALSE(doc.remove("Missing", "A"));
    doc.set("S", "D", "4");
    doc.set("S", "B", "two");
    EXPECT_EQ(doc.text(), "[S]\nB=two\nA=shadowed\nC=3\nD=4\n;tail\n");
    EXPECT_TRUE(doc.remove("S", "D"));
    doc.set("S", "E", "5");
    EXPECT_EQ(doc.text(), "[S]\nB=two\nA=shadowed\nC=3\nE=5\n;tail\n");
}

TEST(IniDocument, ManyKeysStayReachable) {
    IniDocument doc;
    constexpr int kCount = 32767;
    for (int i = 0; i < kCount; ++i) {
        doc.set("Domains", "D" + std::to_string(i), "host" + std::to_string(i));
    }
    const IniDocument reread = IniDocument::parse(doc.text());
    for (int i = 0; i < kCount; i += 97) {
        EXPECT_EQ(reread.get("domains", "d" + std::to_string(i)), "host" + std::to_string(i));
    }
    EXPECT_EQ(reread.get("Domains", "D32766"), "host32766");
}

TEST(IniDocument, ByteOrderMarkDoesNotHideTheFirstSection) {
    const std::string text = "\xEF\xBB\xBF[Settings]\r\nbMinimized=1\r\n";
    const IniDocument doc = IniDocument::parse(text);
    EXPECT_EQ(doc.get("Settings", "bMinimized"), "1");
    EXPECT_EQ(doc.text(), text);
}

TEST(IniDocument, GarbageNeverCrashes) {
    std::string nuls("[S]\0\nA=\0x\n", 11);
    EXPECT_NO_THROW(IniDocument::parse(nuls).get("S", "A"));
    EXPECT_EQ(IniDocument::parse("[S]\nK=" + std::string(1 << 20, 'q')).get("S", "K", "").size(),
              249u);
    EXPECT_EQ(IniDocument::parse("[Unclosed\nK=v").get("Unclosed", "K"), "v");
    EXPECT_EQ(IniDocument::parse("\r\r\n\n=\n[\n]\n=x\n").get("", ""), std::nullopt);

    std::uint32_t seed = 12345;
    for (int round = 0; round < 200; ++round) {
        std::string bytes;
        for (int i = 0; i < 400; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const char pick[] = "[]=;\r\n \t\"'aS\0\xff";
            bytes += pick[(seed >> 24) % (sizeof pick)];
        }
        IniDocument doc = IniDocument::parse(bytes);
        doc.get("S", "a", "");
        doc.set("S", "a", "v");
        doc.remove("S", "a");
        // Re-reading what was written gives the same text again.
        const std::string once = doc.text();
        EXPECT_EQ(IniDocument::parse(once).text(), once);
    }
}

TEST(IniDocument, RunsOfSkippedLinesKeepTheirTextAndPlace) {
    const std::string text =
        "; head\r\n\r\n[S]\r\n\r\n; about A\r\nno equals\r\n =no "
        "key\r\nA=1\r\n\r\n\r\n;tail\r\n\r\n";
    IniDocument doc = IniDocument::parse(text);
    EXPECT_EQ(doc.text(), text);
    EXPECT_EQ(doc.get("S", "A"), "1");
    doc.set("S", "B", "2");
    doc.set("T", "C", "3");
    EXPECT_EQ(
        doc.text(),
        "; head\r\n\r\n[S]\r\n\r\n; about A\r\nno equals\r\n =no key\r\nA=1\r\nB=2\r\n\r\n\r\n"
        ";tail\r\n\r\n[T]\r\nC=3\r\n");
    EXPECT_TRUE(doc.remove("S", "A"));
    EXPECT_EQ(IniDocument::parse(doc.text()).get("S", "B"), "2");

    // Every line of a run is written with the file's own ending, without stray CRs.
    EXPECT_EQ(IniDocument::parse("[S]\nA=1\r\n\r\r\n; c\r\n\nx\r").text(), "[S]\nA=1\n\n; c\n\nx");
}

TEST(IniDocument, ManyBlankLinesAroundTheKeysReadAndWriteBack) {
    // Blank lines around the keys; the parse keeps a slice of the text for each run of them.
    std::string text = std::string(200'000, '\n') + "[Settings]\n" + std::string(200'000, '\n') +
                       "bMinimized=1\n" + std::string(200'000, '\n');
    IniDocument doc = IniDocument::parse(text);
    EXPECT_EQ(doc.get("settings", "bminimized"), "1");
    doc.set("Settings", "bStartup", "True");
    const std::string written = doc.text();
    EXPECT_EQ(written.size(), text.size() + std::string("bStartup=True\n").size());
    EXPECT_EQ(IniDocument::parse(written).get("Settings", "bStartup"), "True");
}

TEST(IniFile, OpensEmptyAndSavesOnlyWhenChanged) {
    FakeFileSystem files;
    files.makeDirectories("/app");
    IniFile missing(files, "/app/new.ini");
    EXPECT_EQ(missing.get("S", "K", "dflt"), "dflt");
    EXPECT_TRUE(missing.save());
    EXPECT_FALSE(files.exists("/app/new.ini")) << "nothing changed, nothing written";
    missing.set("S", "K", "v");
    EXPECT_TRUE(missing.save());
    EXPECT_TRUE(missing.save());
    EXPECT_EQ(files.writes("/app/new.ini"), 1);
    EXPECT_EQ(files.text("/app/new.ini"), "[S]\r\nK=v\r\n");
}

TEST(IniFile, FailedOrUnsafeWritesReportFailureAndKeepTheFile) {
    FakeFileSystem files;
    files.put("/app/a.ini", "[S]\nK=old\n");
    files.setReadOnly("/app/a.ini");
    IniFile readOnly(files, "/app/a.ini");
    readOnly.set("S", "K", "new");
    EXPECT_FALSE(readOnly.save());
    EXPECT_EQ(files.text("/app/a.ini"), "[S]\nK=old\n");

    files.put("/app/b.ini", "[Other]\nkeep=me\n");
    files.setUnreadable("/app/b.ini");
    IniFile unreadable(files, "/app/b.ini");
    unreadable.set("S", "K", "new");
    EXPECT_FALSE(unreadable.save()) << "content we never saw would be lost";
    EXPECT_EQ(files.text("/app/b.ini"), "[Other]\nkeep=me\n");
}

TEST(IniFile, AFifoOrAnOversizedFileOpensEmptyAndOnlyTheOversizedOneIsReplaced) {
    FakeFileSystem files;
    int refused = 0;
    files.onReadRefused = [&](const std::string&, const auto&) { ++refused; };
    files.putSpecial("/app/fifo.ini");
    IniFile fifo(files, "/app/fifo.ini");
    EXPECT_EQ(fifo.get("Settings", "bMinimized", "0"), "0");
    fifo.set("Settings", "bMinimized", "True");
    EXPECT_FALSE(fifo.save()) << "a FIFO is never written";

    const std::string huge =
        "[Settings]\nbMinimized=True\n" + std::string(FileSystem::kMaxSettingsBytes, ';');
    files.put("/app/zorvik.ini", huge);
    IniFile oversized(files, "/app/zorvik.ini");
    EXPECT_EQ(oversized.get("Settings", "bMinimized", "0"), "0") << "taken as missing";
    oversized.set("Settings", "bStartup", "False");
    EXPECT_TRUE(oversized.save());
    EXPECT_EQ(files.text("/app/zorvik.ini"), "[Settings]\r\nbStartup=False\r\n");
    EXPECT_EQ(refused, 2);
}

}  // namespace
