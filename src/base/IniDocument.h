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
    /// Blank and comment lines cost nothing beyond the text; each key line costs a few words.
    static IniDocument parse(std::string_view text);
    /// The same, taking over the text instead of copying it.
    static IniDocument parseOwned(std::string text);

    /// One line of INI text as the reading rules see it.
    struct ScannedLine {
        enum class Kind { Other, Header, Key };
        Kind kind = Kind::Other;
        std::size_t begin = 0;  // the line's text, without its line break and the CRs before it
        std::size_t size = 0;
        std::size_t equals = 0;  // Key: the position of the first '=' in the line
        std::string_view name;   // Header: the section name; Key: the key; both trimmed
    };
    /// Reads the line that starts at pos and moves pos past its line break; false at the end of
    /// the text. A line with a key before its '=' is a Key line here, although only the lines
    /// under a section header are keys of a section.
    static bool scanLine(std::string_view text, std::size_t& pos, ScannedLine& line);
    /// A key line's value as get() reads it, uncut: trimmed, one pair of quotes taken off.
    static std::string_view valueOf(std::string_view lineText, std::size_t equals);
    /// Whether two section or key names are the same for the reading rules.
    static bool sameName(std::string_view a, std::string_view b);

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

    enum class LineKind : std::uint8_t { Header, Key, Other };
    /// A header, a key line, or a run of other lines (blank, comment, no key) that follow one
    /// another: a slice of the parsed text until an edit gives a line text of its own.
    struct Line {
        std::size_t begin = 0;
        std::size_t size = 0;
        std::size_t equals = kNone;  // position of '=' on a key=value line, else kNone
        std::uint32_t edit = 0;      // 1 + index of the line's own text in m_edits, 0 for none
        LineKind kind = LineKind::Other;
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
    void appendText(const Line& line, std::string& out) const;
    void setText(Line& line, std::string text);
    std::string_view keyOf(const Line& line) const;
    std::string_view valueOf(const Line& line) const;
    std::size_t findSection(std::string_view section) const;
    const Line* findKeyLine(std::string_view section, std::string_view key) const;
    std::size_t findKey(const Section& section, std::string_view key) const;
    std::size_t addSection(Line header, std::string_view name);
    void addLine(const ScannedLine& scanned);
    void indexKeys(Section& section);

    std::string m_source;              // the parsed text, which unedited lines are slices of
    std::vector<std::string> m_edits;  // the text of edited and added lines
    std::vector<Section> m_sections = std::vector<Section>(1);  // [0]: lines before any header
    NameIndex m_sectionIndex;  // section name -> index in m_sections of its first section
    std::string m_lineEnding = "\r\n";
    bool m_endsWithNewline = true;
};

}  // namespace halvern::base
