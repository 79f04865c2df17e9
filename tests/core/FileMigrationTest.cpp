#include "core/FileMigration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adservers/AdDataUpdate.h"
#include "adservers/AdServerBlocking.h"
#include "platform/fake/FakeDialogs.h"
#include "platform/fake/FakeFileSystem.h"
#include "platform/fake/FakeScheduler.h"

using halvern::core::AppPaths;
using halvern::core::FileMigration;
using Outcome = halvern::core::FileMigration::Outcome;

namespace {

const std::string kOld = "/opt/old";
const std::string kShipped = "/usr/share/halvern";
const std::string kConfig = "/home/ann/.config/halvern";
const std::string kData = "/home/ann/.local/share/halvern";

struct FileMigrationTest : ::testing::Test {
    FileMigration::Move moveOf(const std::string& name) {
        for (const FileMigration::Move& move : moves) {
            if (move.from == kOld + "/" + name) {
                return move;
            }
        }
        ADD_FAILURE() << name << " was not found";
        return {};
    }
    void run(const std::string& oldFolder = kOld) { moves = migration.run(oldFolder); }

    halvern::platform::FakeFileSystem files;
    halvern::platform::FakeDialogs dialogs;
    halvern::platform::FakeScheduler clock;
    halvern::forms::MainForm form;
    halvern::core::StatusLog log{form, clock};
    AppPaths paths{files, {kOld, kShipped, kConfig, kData}, "/etc/hosts"};
    FileMigration migration{files, dialogs, paths, log};
    std::vector<FileMigration::Move> moves;
    std::vector<std::string> lines;
};

TEST_F(FileMigrationTest, EveryFileOfTheUserGoesToItsNewPlaceOnce) {
    log.observe([this](const std::string& line) { lines.push_back(line); });
    const std::vector<std::pair<std::string, std::string>> table = {
        {"zorvik.ini", kConfig + "/zorvik.ini"},
        {"userhosts.ini", kData + "/userhosts.ini"},
        {"zorvikhostsexc.ini", kData + "/zorvikhostsexc.ini"},
        {"removals.ini", kData + "/removals.ini"},
        {"usertitles.ini", kData + "/usertitles.ini"},
        {"userwl.ini", kData + "/userwl.ini"},
        {halvern::adservers::AdServerBlocking::kRecordFile, kData + "/zvhosts.dat"},
        {halvern::adservers::AdDataUpdate::kValidatorsFile, kData + "/zvupdate.dat"},
        {"zshared/domains.txt", kData + "/zshared/domains.txt"},
        {"zorvikhosts.ini", kData + "/zorvikhosts.ini"},
        {"zvspyware.ini", kData + "/zvspyware.ini"},
    };
    for (const auto& [name, to] : table) {
        files.put(kOld + "/" + name, "content of " + name);
    }
    files.put(kOld + "/zvtitles.ini", "shipped titles");  // shipped, never the user's
    run();

    ASSERT_EQ(moves.size(), table.size());
    for (const auto& [name, to] : table) {
        const FileMigration::Move move = moveOf(name);
        EXPECT_EQ(move.to, to) << name;
        EXPECT_EQ(move.outcome, Outcome::Moved) << name;
        EXPECT_EQ(files.text(to), "content of " + name) << name;
        EXPECT_FALSE(files.exists(kOld + "/" + name)) << name;
    }
    EXPECT_TRUE(files.exists(kOld + "/zvtitles.ini"));
    EXPECT_EQ(lines.front(), "Moved '" + kOld + "/zorvik.ini' to '" + kConfig + "/zorvik.ini'");
    EXPECT_EQ(lines.size(), table.size());
    EXPECT_TRUE(dialogs.boxes().empty());

    // Once: the next start finds nothing left to bring over.
    run();
    EXPECT_TRUE(moves.empty());
}

TEST_F(FileMigrationTest, CreatesTheFoldersEvenWithNothingToMove) {
    run();
    EXPECT_TRUE(moves.empty());
    EXPECT_TRUE(files.isDirectory(kConfig));
    EXPECT_TRUE(files.isDirectory(kData));
}

TEST_F(FileMigrationTest, AFileAlreadyInItsNewPlaceIsNeverOverwritten) {
    log.observe([this](const std::string& line) { lines.push_back(line); });
    files.put(kOld + "/zorvik.ini", "old settings");
    files.put(kConfig + "/zorvik.ini", "new settings");
    run();
    EXPECT_EQ(moveOf("zorvik.ini").outcome, Outcome::AlreadyThere);
    EXPECT_EQ(files.text(kConfig + "/zorvik.ini"), "new settings");
    EXPECT_EQ(files.text(kOld + "/zorvik.ini"), "old settings");
    EXPECT_EQ(lines, std::vector<std::string>{"Left '" + kOld + "/zorvik.ini' where it is: '" +
                                              kConfig + "/zorvik.ini' already exists"});
    EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(FileMigrationTest, AFailedCopyKeepsTheOldFileAndSaysSo) {
    log.observe([this](const std::string& line) { lines.push_back(line); });
    files.put(kOld + "/userhosts.ini", "user list");
    files.setUnreadable(kOld + "/userhosts.ini");
    files.put(kOld + "/usertitles.ini", "titles");
    files.setReadOnly(kData + "/usertitles.ini");
    run();
    EXPECT_EQ(moveOf("userhosts.ini").outcome, Outcome::CopyFailed);
    EXPECT_EQ(moveOf("usertitles.ini").outcome, Outcome::CopyFailed);
    EXPECT_TRUE(files.exists(kOld + "/userhosts.ini"));
    EXPECT_EQ(files.text(kOld + "/usertitles.ini"), "titles");
    EXPECT_FALSE(files.exists(kData + "/usertitles.ini"));
    EXPECT_EQ(lines.front(), "Could not copy '" + kOld + "/userhosts.ini' to '" + kData +
                                 "/userhosts.ini': it stays where it is");
    // One box names every file left behind.
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    const std::string& text = dialogs.boxes()[0].text;
    EXPECT_NE(text.find(kOld + "/userhosts.ini  ->  " + kData + "/userhosts.ini"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(kOld + "/usertitles.ini"), std::string::npos) << text;
}

TEST_F(FileMigrationTest, AnOldFileThatCannotBeRemovedIsCopiedAndKept) {
    log.observe([this](const std::string& line) { lines.push_back(line); });
    files.put(kOld + "/zvhosts.dat", "record");
    files.setReadOnly(kOld + "/zvhosts.dat");
    run();
    EXPECT_EQ(moveOf("zvhosts.dat").outcome, Outcome::RemoveFailed);
    EXPECT_EQ(files.text(kData + "/zvhosts.dat"), "record");
    EXPECT_EQ(files.text(kOld + "/zvhosts.dat"), "record");
    EXPECT_EQ(lines, std::vector<std::string>{"Copied '" + kOld + "/zvhosts.dat' to '" + kData +
                                              "/zvhosts.dat', but could not remove the old one"});
    EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(FileMigrationTest, InABuildTreeTheShippedListsStayWhereTheyAre) {
    // The executable's folder holds the shipped files: its lists are the shipped ones, read from
    // there until the program first writes its own copy.
    const AppPaths tree{files, {kOld, kOld, kConfig, kData}, "/etc/hosts"};
    FileMigration inTree{files, dialogs, tree, log};
    files.put(kOld + "/zorvikhosts.ini", "list");
    files.put(kOld + "/zvspyware.ini", "spyware");
    files.put(kOld + "/zorvik.ini", "settings");
    moves = inTree.run(kOld);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].to, kConfig + "/zorvik.ini");
    EXPECT_TRUE(files.exists(kOld + "/zorvikhosts.ini"));
    EXPECT_TRUE(files.exists(kOld + "/zvspyware.ini"));
    EXPECT_EQ(tree.getLocalBanIniFileName(), kOld + "/zorvikhosts.ini");
}

TEST_F(FileMigrationTest, AFolderWhereTheOldFolderIsTheNewOneMovesNothing) {
    const AppPaths portable{kOld, "/etc/hosts"};
    FileMigration inPlace{files, dialogs, portable, log};
    files.put(kOld + "/zorvik.ini", "settings");
    EXPECT_TRUE(inPlace.run(kOld).empty());
    EXPECT_EQ(files.text(kOld + "/zorvik.ini"), "settings");
}

}  // namespace
