#pragma once

#include <string>
#include <string_view>

namespace halvern::helper {

/// Whether a new hosts file only blocks names. The helper writes a new /etc/hosts, or either of
/// its copies, only when the text differs from the current /etc/hosts by block lines
/// ("127.0.0.1", spaces or tabs, a valid host name, optional trailing blanks and CR) and blank
/// lines, added or removed. Every other line stays byte for byte and in order, so whoever drives
/// the helper can block names but never send one elsewhere. A block line for one of the machine's
/// own names (localhost, the host name ...) counts as a real change. Runs in linear time with
/// constant extra memory.
class HostsChange {
public:
    struct Verdict {
        bool accepted = false;
        /// Why not, naming the first line that makes the difference.
        std::string reason;
    };

    /// Judges proposed against current (an empty text when there is no hosts file);
    /// machineName is this machine's host name.
    static Verdict check(std::string_view current, std::string_view proposed,
                         std::string_view machineName);

    /// True for a line the helper may add or drop: a block line of a name that is not the
    /// machine's own, or a blank line. The line comes without its "\n".
    static bool isIgnorable(std::string_view line, std::string_view machineName);
};

}  // namespace halvern::helper
