#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/IniDocument.h"

namespace halvern::spyware {

/// The spyware list zvspyware.ini: section [Spyware], one line per program,
/// name = watch ":" asked ":" description, and [AppCount] N, the lines of the last download.
/// The scanner, the download and the viewer all read and rewrite it through these functions.
namespace SpywareList {

inline constexpr const char* kSection = "Spyware";
inline constexpr const char* kCountSection = "AppCount";
inline constexpr const char* kCountKey = "N";

/// A value split at ":": watch, asked and description; text after a further ":" is dropped.
struct Fields {
    std::string watch;
    std::string asked;
    std::string description;
    /// How many of the three fields the value has (a bare "1" has one).
    int present = 0;

    /// Only the first character of the value is read as the watch flag.
    bool watched() const { return !watch.empty() && watch.front() == '1'; }
    /// "1": close without asking; anything else, a missing field included, asks first.
    bool closeWithoutAsking() const { return asked == "1"; }
};
Fields split(std::string_view value);

/// Whether a value carries its fields at all: a bare "1" does not, and is not watched.
bool hasFields(std::string_view value);

/// One line of the section, as the reading rules see it: the key trimmed, the value whole.
struct Line {
    std::string name;
    std::string value;
};

/// The whole section in file order, however long. A key that came before (case-insensitively)
/// is left out: the first line wins, as every read and write of the key finds the first one.
/// The names of the lines left out go to `duplicates` when it is given.
std::vector<Line> read(const base::IniDocument& document,
                       std::vector<std::string>* duplicates = nullptr);

/// The value of a name, whole (not cut to the profile buffer), or nothing when the key is missing.
std::optional<std::string> value(const base::IniDocument& document, std::string_view name);

/// The value a download writes for a program: a new program (no value, or one shorter than two
/// characters) is watched and asked about first; a known one keeps its watch and asked fields,
/// a missing or empty asked field meaning "ask first", and takes the new description.
std::string merged(const std::optional<std::string>& current, std::string_view description);

/// The value with its watch flag, the first character, set to "1" or "0"; a value without its
/// fields becomes the flag, "ask first" and no description.
std::string withWatch(std::string_view value, bool watch);

/// Blanks and tabs taken off both ends.
std::string trim(std::string_view text);
/// ASCII letters lower-cased; other bytes kept.
std::string lower(std::string_view text);

}  // namespace SpywareList

}  // namespace halvern::spyware
