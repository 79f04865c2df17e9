#include "core/FileMigration.h"

#include "core/MainState.h"

namespace halvern::core {

namespace {

const std::string kCrLf = "\r\n";

/// The user's own lists and the program's state, by their names beside an earlier executable.
constexpr const char* kDataFiles[] = {
    "userhosts.ini",        // the user's ad servers
    "zorvikhostsexc.ini",   // the allowed ad servers
    "removals.ini",         // the inactive ad servers
    "usertitles.ini",       // the user's popup titles
    "userwl.ini",           // the user's white list
    "zvhosts.dat",          // the record of what the program put in the hosts file
    "zvupdate.dat",         // the download validators
    "zshared/domains.txt",  // the domain tester's server files
    "zshared/removals.txt",
};

std::string folderOf(const std::string& path) {
    return path.substr(0, path.find_last_of('/'));
}

}  // namespace

FileMigration::FileMigration(platform::FileSystem& files, platform::Dialogs& dialogs,
                             const AppPaths& paths, StatusLog& log)
    : m_files(files), m_dialogs(dialogs), m_paths(paths), m_log(log) {}

std::vector<FileMigration::Entry> FileMigration::plan(const AppPaths& paths,
                                                      const std::string& oldFolder) {
    std::vector<Entry> entries{{AppPaths::kIniFile, paths.getIniFileName()}};
    for (const char* name : kDataFiles) {
        entries.push_back({name, paths.dataFile(name)});
    }
    if (oldFolder != paths.strAppFolder) {
        for (const char* name : {AppPaths::kLocalBanList, AppPaths::kSpyWareList}) {
            entries.push_back({name, paths.dataFile(name)});
        }
    }
    return entries;
}

std::vector<FileMigration::Move> FileMigration::run(const std::string& oldFolder) {
    for (const std::string& folder : {m_paths.strConfigFolder, m_paths.strDataFolder}) {
        if (!m_files.isDirectory(folder) && !m_files.makeDirectories(folder)) {
            m_log.AddToStatus("Could not create the folder '" + folder + "'");
        }
    }
    std::vector<Move> moves;
    for (const Entry& entry : plan(m_paths, oldFolder)) {
        const std::string from = oldFolder + "/" + entry.name;
        if (from == entry.to || !m_files.exists(from) || m_files.isDirectory(from)) {
            continue;
        }
        moves.push_back({from, entry.to, bringOver(from, entry.to)});
        report(moves.back());
    }
    std::string unmoved;
    for (const Move& move : moves) {
        if (move.outcome == Outcome::CopyFailed) {
            unmoved += kCrLf + move.from + "  ->  " + move.to;
        }
    }
    if (!unmoved.empty()) {
        m_dialogs.messageBox(
            std::string(kServiceName) +
                " could not move these files of an earlier version to their new places, so it "
                "does not use them now. They stay where they are:" +
                kCrLf + unmoved + kCrLf + kCrLf + "Check the new folders, then start " +
                kServiceName + " again.",
            kServiceName, platform::BoxButtons::Ok, platform::BoxIcon::Warning);
    }
    return moves;
}

FileMigration::Outcome FileMigration::bringOver(const std::string& from, const std::string& to) {
    if (m_files.exists(to)) {
        return Outcome::AlreadyThere;
    }
    // Copied, then removed: at every moment one of the two is whole.
    if (!m_files.makeDirectories(folderOf(to)) || !m_files.copy(from, to)) {
        return Outcome::CopyFailed;
    }
    return m_files.remove(from) ? Outcome::Moved : Outcome::RemoveFailed;
}

void FileMigration::report(const Move& move) {
    const std::string from = "'" + move.from + "'";
    const std::string to = "'" + move.to + "'";
    switch (move.outcome) {
        case Outcome::Moved:
            m_log.AddToStatus("Moved " + from + " to " + to);
            break;
        case Outcome::AlreadyThere:
            m_log.AddToStatus("Left " + from + " where it is: " + to + " already exists");
            break;
        case Outcome::CopyFailed:
            m_log.AddToStatus("Could not copy " + from + " to " + to + ": it stays where it is");
            break;
        case Outcome::RemoveFailed:
            m_log.AddToStatus("Copied " + from + " to " + to +
                              ", but could not remove the old one");
            break;
    }
}

}  // namespace halvern::core
