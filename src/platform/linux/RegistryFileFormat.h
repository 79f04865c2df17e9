#pragma once

#include <optional>
#include <string>

#include "platform/RegistryTree.h"

namespace halvern::platform {

/// The text of one root's registry file. Line by line, after the first line "halvern registry 1":
///
///     key "Software\Microsoft\Internet Explorer\Main"
///     value "Disable Script Debugger" 1 "yes%00"
///
/// a key with its path, then each of its values with its name, type code (decimal) and data.
/// Inside the quotes a byte below 0x20 or above 0x7E, a '"' and a '%' are written "%HH", so any
/// bytes survive and the file is plain ASCII. Lines opening with '#' and blank lines are notes.
class RegistryFileFormat {
public:
    /// The file's text for the tree; the note names the root.
    static std::string format(const RegistryTree& tree, const std::string& note);
    /// The tree the text holds, or nothing with `error` saying which line is wrong and why.
    static std::optional<RegistryTree> parse(const std::string& text, std::string& error);
};

}  // namespace halvern::platform
