#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace halvern::core {

/// An INI file's text in memory, read and edited with the old profile-string rules: section and
/// key names compare without regard to case, the first match wins, values are trimmed of blanks
/// and tabs, and a value enclosed in matching quotes loses them. Edits keep comments, other
/// sections, the order of lines and the file's own line ending (CR LF or LF).
class IniDocument {
public:
    /// The profile calls' read buffer: 250 characters, so at most 249 are seen.
    static constexpr std::size_t kReadBuffer = 250;

    IniDocument() = default;
    /// Parses once; accepts LF and CR LF (the first line ending found decides the one written).
    static IniDocument parse(std::string_view text);

    /// The value of the first matching key of the first matching section, or nothing.
    std::optional<std::string> get(std::string_view section, std::string_view key) const;
    /// The value, or the fallback when missing, cut to bufferSize - 1 characters.
    std::string get(std::string_view section, std::string_view key, std::string_view fallback,
                    std::size_t bufferSize = kReadBuffer) const;
    /// Every key=value line of the first matching section, in file order (keys untrimmed of
    /// nothing but blanks).
    std::vector<std::pair<std::string, std::string>> entries(std::string_view section) const;

    /// Sets a value: replaces the first matching key, or adds the key after the last line of the
    /// section, or adds the section at the end of the file.
    void set(std::string_view section, std::string_view key, std::string_view value);
    /// Removes the first matching key; true when there was one.
    bool remove(std::string_view section, std::string_view key);

    /// The whole text with the document's line ending.
    std::string text() const;
    /// "\r\n" or "\n"; CR LF for a document that had no line ending.
    const std::string& lineEnding() const { return m_lineEnding; }

private:
    struct Line {
        std::string raw;      // the line as it stands, without its line ending
        int section = -1;     // index into m_sections of the section the line belongs to
        bool isHeader = false;
        std::string key;      // trimmed key, lower-cased, for key=value lines
    };
    struct Section {
        std::string lowerName;
        std::size_t headerLine;
    };
    int findSection(std::string_view section) const;
    int findKeyLine(int section, std::string_view key) const;

    std::vector<Line> m_lines;
    std::vector<Section> m_sections;
    std::string m_lineEnding = "\r\n";
    bool m_endsWithNewline = true;
};

}  // namespace halvern::core
