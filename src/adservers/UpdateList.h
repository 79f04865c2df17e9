#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace halvern::adservers {

/// A text list as the update server sends it: lines split at CR LF (LF alone is taken too), the
/// last one exactly "[END]" with no line break after it. A body cut short in transit lacks that
/// last line.
struct UpdateList {
    static constexpr std::string_view kEndLine = "[END]";

    /// The last line is "[END]".
    bool complete = false;
    /// The lines before "[END]", each trimmed of blanks; empty and "#" lines included.
    std::vector<std::string> lines;

    /// Splits a body into its lines.
    static UpdateList parse(std::string_view body);
    /// True for a line that carries an entry: neither empty nor a "#" comment.
    static bool isEntry(std::string_view line) { return !line.empty() && line.front() != '#'; }
    /// The lines that carry an entry.
    int entryCount() const;
};

}  // namespace halvern::adservers
