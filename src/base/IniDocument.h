#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace halvern::base {

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
    /// Every key=value line of the first matching section, in file order, duplicates included:
    /// the key trimmed of blanks, the value as get() reads it but uncut.
    std::vector<std::pair<std::string, std::string>> entries(std::string_view section) const;

    /// Sets a value: replaces the first matching key, or adds the key after the last line of the
    /// section, or adds the section at the end of the file. Line breaks in the value become
    /// blanks; a section or key name that could not be read back (empty, or holding a line
    /// break, '=', ']', or a leading ';' or '[') changes nothing.
    void set(std::string_view section, std::string_view key, std::string_view value);
    /// Removes the first matching key; true when there was one.
    bool remove(std::string_view section, std::string_view key);

    /// The whole text with the document's line ending.
    std::string text() const;
    /// "\r\n" or "\n"; CR LF for a document that had no line ending.
    const std::string& lineEnding() const { return m_lineEnding; }

    /// The value as a view into the document, valid until the next edit; nothing when missing.
    std::optional<std::string_view> view(std::string_view section, std::string_view key) const;

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    /// A line: a slice of the parsed text until an edit gives it text of its own.
    struct Line {
        std::size_t begin = 0;
        std::size_t size = 0;
        std::size_t equals = kNone;  // position of '=' on a key=value line, else kNone
        bool isEdited = false;
        std::string edited;
    };

    /// Open-addressed table from a case-insensitive name hash to a number (a line or a
    /// section); the caller's predicate decides which number really holds the name. Lookups
    /// and inserts are O(1) without allocating a key.
    class NameIndex {
    public:
        template <typename Matches>
        std::size_t find(std::uint32_t hash, const Matches& matches) const;
        /// Adds the number unless an equal name is there already (the first one wins).
        template <typename Matches>
        void insertFirst(std::uint32_t hash, std::size_t number, const Matches& matches);
        void clear();

    private:
        struct Slot {
            std::uint32_t hash = 0;
            std::uint32_t numberPlusOne = 0;  // 0: empty
        };
        void grow();
        std::vector<Slot> m_slots;
        std::size_t m_count = 0;
    };

    /// A section's lines: its header first, except for the lines before any header.
    struct Section {
        std::vector<Line> lines;
        bool hasHeader = false;
        std::string name;  // trimmed, as written
        NameIndex keys;    // key -> index in lines of the first line with that key
        /// Index of the last key=value line, or of the header when there is none.
        std::size_t lastKeyLine = 0;
    };

    std::string_view textOf(const Line& line) const;
    std::string_view keyOf(const Line& line) const;
    std::string_view valueOf(const Line& line) const;
    std::size_t findSection(std::string_view section) const;
    const Line* findKeyLine(std::string_view section, std::string_view key) const;
    std::size_t findKey(const Section& section, std::string_view key) const;
    std::size_t addSection(Line header, std::string_view name);
    void addLine(std::size_t begin, std::size_t size, std::size_t contentOffset);
    void indexKeys(Section& section);

    std::string m_source;  // the parsed text, which unedited lines are slices of
    std::vector<Section> m_sections = std::vector<Section>(1);  // [0]: lines before any header
    NameIndex m_sectionIndex;  // section name -> index in m_sections of its first section
    std::string m_lineEnding = "\r\n";
    bool m_endsWithNewline = true;
};

}  // namespace halvern::base
