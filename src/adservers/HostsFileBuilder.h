#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace halvern::adservers {

/// The hosts-file text algorithms: merging the ad-server lists into the text and taking them out
/// again. Pure functions of text, linear in the size of the file and the lists (hash sets).
class HostsFileBuilder {
public:
    /// Every block line is this prefix followed by one host name.
    static constexpr std::string_view kLinePrefix = "127.0.0.1 ";

    /// What a merge produced.
    struct Merge {
        /// The new block lines in order, each ended with the file's line ending.
        std::string newLines;
        /// The number of lines in newLines.
        int added = 0;
        /// The whole new hosts text: newLines, then the earlier lines that stay.
        std::string text;
        /// List entries skipped because they are not host names.
        std::vector<std::string> rejected;
        /// List entries skipped because they name this machine (localhost, its host name).
        std::vector<std::string> reserved;
    };

    /// What a removal produced.
    struct Removal {
        std::string text;
        /// Lines taken out.
        int removed = 0;
        /// List entries skipped because they are not host names.
        std::vector<std::string> rejected;
    };

    /// Adds a block line for every default and user name without its whole line in the file
    /// (a name listed twice and absent is added twice), drops every empty line and the lines of
    /// the allowed names that the program could have added: names of the two lists whose line is
    /// not one of the user's own file (usersOwn, the backup). Other lines keep their bytes and
    /// order. Entries are trimmed of blanks; empty ones are gaps. Never added: the names of this
    /// machine (localhost, machineName, see HostName::namesThisMachine), and any name that a line
    /// of the user's own maps to an address of its choosing (any line but a block line).
    static Merge merge(std::string_view hostsText, std::span<const std::string> defaultNames,
                       std::span<const std::string> userNames,
                       std::span<const std::string> allowedNames, std::string_view usersOwn = {},
                       std::string_view machineName = {});

    /// Takes out every whole line "127.0.0.1 name" of a listed name, a last line without a line
    /// break included; the names of this machine are never listed. Everything else stays byte
    /// for byte, empty lines too.
    static Removal remove(std::string_view hostsText, std::span<const std::string> defaultNames,
                          std::span<const std::string> userNames,
                          std::string_view machineName = {});

    /// The user's own part of a file the program had completed: every block line of a listed
    /// name (never one of this machine) is taken out unless the same line is in the user's
    /// earlier file (usersOwn).
    static std::string withoutAdded(std::string_view hostsText,
                                    std::span<const std::string> defaultNames,
                                    std::span<const std::string> userNames,
                                    std::string_view usersOwn, std::string_view machineName = {});

    /// The text's own line ending: that of its first line break, LF when it has none.
    static std::string_view lineEnding(std::string_view text);

    /// The name a line blocks ("127.0.0.1 name" without its line ending), or "" for any other
    /// line.
    static std::string_view blockedName(std::string_view line);
};

}  // namespace halvern::adservers
