#pragma once

#include <string>
#include <vector>

#include "core/AppPaths.h"
#include "core/StatusLog.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"

namespace halvern::core {

/// Gives the program its folders and brings over, once, the user's files that an earlier build
/// kept beside its executable: each is copied to its new place, then removed from the old one,
/// never over a file already there, and never lost (a failed copy leaves it where it was).
/// Every file found gets a status line; a file that could not be brought over also gets a box.
class FileMigration {
public:
    FileMigration(platform::FileSystem& files, platform::Dialogs& dialogs, const AppPaths& paths,
                  StatusLog& log);

    /// What became of one file found in the old folder.
    enum class Outcome {
        Moved,         ///< now in its new place only
        AlreadyThere,  ///< the new place has one already: the old one stays, unread
        CopyFailed,    ///< could not be copied: it stays where it was, unread
        RemoveFailed,  ///< copied, but the old one could not be removed
    };
    struct Move {
        std::string from;
        std::string to;
        Outcome outcome;
    };
    /// The user's file names of an earlier build (relative to its folder) and their new paths.
    struct Entry {
        std::string name;
        std::string to;
    };

    /// The files to look for in oldFolder. The shipped lists the program rewrites are among them
    /// only when oldFolder is not the shipped folder itself: there they are the shipped ones, and
    /// are read from there until the program first writes its own copy anyway.
    static std::vector<Entry> plan(const AppPaths& paths, const std::string& oldFolder);

    /// Creates the settings and data folders, then brings over what oldFolder holds of plan().
    std::vector<Move> run(const std::string& oldFolder);

private:
    Outcome bringOver(const std::string& from, const std::string& to);
    void report(const Move& move);

    platform::FileSystem& m_files;
    platform::Dialogs& m_dialogs;
    const AppPaths& m_paths;
    StatusLog& m_log;
};

}  // namespace halvern::core
