#include "base/IniDocument.h"

#include "base/ValueConversion.h"

namespace halvern::base {

using ValueConversion::trimBlanks;

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

/// FNV-1a over the lower-cased bytes, so names that differ only in case hash alike.
std::uint32_t hashName(std::string_view name) {
    std::uint32_t hash = 2166136261u;
    for (char c : name) {
        hash = (hash ^ static_cast<unsigned char>(lower(c))) * 16777619u;
    }
    return hash;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string_view trimLeft(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

/// A line break inside a value would split it into lines of its own on the next read.
std::string withoutLineBreaks(std::string_view value) {
    std::string result(value);
    for (char& c : result) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return result;
}

bool readableName(std::string_view name, std::string_view forbidden) {
    return !name.empty() && name.find_first_of(forbidden) == std::string_view::npos &&
           name.front() != ';' && name.front() != '[';
}

}  // namespace

template <typename Matches>
std::size_t IniDocument::NameIndex::find(std::uint32_t hash, const Matches& matches) const {
    if (m_slots.empty()) {
        return kNone;
    }
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = hash & mask; m_slots[i].numberPlusOne != 0; i = (i + 1) & mask) {
        if (m_slots[i].hash == hash && matches(m_slots[i].numberPlusOne - 1)) {
            return m_slots[i].numberPlusOne - 1;
        }
    }
    return kNone;
}

template <typename Matches>
void IniDocument::NameIndex::insertFirst(std::uint32_t hash, std::size_t number,
                                         const Matches& matches) {
    if ((m_count + 1) * 2 > m_slots.size()) {
        grow();
    }
    const std::size_t mask = m_slots.size() - 1;
    std::size_t i = hash & mask;
    for (; m_slots[i].numberPlusOne != 0; i = (i + 1) & mask) {
        if (m_slots[i].hash == hash && matches(m_slots[i].numberPlusOne - 1)) {
            return;
        }
    }
    m_slots[i] = {hash, static_cast<std::uint32_t>(number + 1)};
    ++m_count;
}

void IniDocument::NameIndex::grow() {
    std::vector<Slot> old(m_slots.empty() ? 16 : m_slots.size() * 2);
    old.swap(m_slots);
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot& slot : old) {
        if (slot.numberPlusOne != 0) {
            std::size_t i = slot.hash & mask;
            while (m_slots[i].numberPlusOne != 0) {
                i = (i + 1) & mask;
            }
            m_slots[i] = slot;
        }
    }
}

void IniDocument::NameIndex::clear() {
    m_slots.clear();
    m_count = 0;
}

IniDocument IniDocument::parse(std::string_view text) {
    return parseOwned(std::string(text));
}

IniDocument IniDocument::parseOwned(std::string text) {
    IniDocument doc;
    doc.m_source = std::move(text);
    const std::string_view source = doc.m_source;
    const auto firstBreak = source.find('\n');
    if (firstBreak != std::string_view::npos) {
        doc.m_lineEnding = firstBreak > 0 && source[firstBreak - 1] == '\r' ? "\r\n" : "\n";
    }
    std::size_t pos = 0;
    ScannedLine line;
    while (scanLine(source, pos, line)) {
        doc.addLine(line);
    }
    doc.m_endsWithNewline = source.empty() || source.back() == '\n';
    return doc;
}

bool IniDocument::scanLine(std::string_view text, std::size_t& pos, ScannedLine& line) {
    if (pos >= text.size()) {
        return false;
    }
    // Blank lines can be most of a file: they take the shortest way.
    if (text[pos] == '\n') {
        line = ScannedLine{ScannedLine::Kind::Other, pos, 0, 0, {}};
        ++pos;
        return true;
    }
    const auto lineFeed = text.find('\n', pos);
    std::size_t end = lineFeed == std::string_view::npos ? text.size() : lineFeed;
    const std::size_t begin = pos;
    pos = lineFeed == std::string_view::npos ? text.size() : lineFeed + 1;
    // Every CR before the break goes, so a rewrite reads back as the same lines.
    while (end > begin && text[end - 1] == '\r') {
        --end;
    }
    const std::string_view raw = text.substr(begin, end - begin);
    line = ScannedLine{ScannedLine::Kind::Other, begin, raw.size(), 0, {}};
    // An editor's byte-order mark must not hide the first section header.
    const bool bom = begin == 0 && raw.starts_with(kUtf8Bom);
    const std::string_view trimmed = trimLeft(raw.substr(bom ? kUtf8Bom.size() : 0));
    if (trimmed.starts_with('[')) {
        const auto close = trimmed.find(']');
        line.kind = ScannedLine::Kind::Header;
        line.name =
            trimBlanks(trimmed.substr(1, close == std::string_view::npos ? close : close - 1));
        return true;
    }
    const auto equals = raw.find('=');
    if (equals == std::string_view::npos || trimmed.starts_with(';')) {
        return true;
    }
    line.name = trimBlanks(raw.substr(0, equals));
    if (!line.name.empty()) {
        line.kind = ScannedLine::Kind::Key;
        line.equals = equals;
    }
    return true;
}

std::string_view IniDocument::valueOf(std::string_view lineText, std::size_t equals) {
    std::string_view value = trimBlanks(lineText.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

bool IniDocument::sameName(std::string_view a, std::string_view b) {
    return equalsNoCase(a, b);
}

void IniDocument::addLine(const ScannedLine& scanned) {
    if (scanned.kind == ScannedLine::Kind::Header) {
        addSection(Line{scanned.begin, scanned.size, kNone, 0, LineKind::Header}, scanned.name);
        return;
    }
    Section& section = m_sections.back();
    if (scanned.kind == ScannedLine::Kind::Key && section.hasHeader) {
        const std::size_t index = section.lines.size();
        section.lines.push_back(
            Line{scanned.begin, scanned.size, scanned.equals, 0, LineKind::Key});
        section.keys.insertFirst(hashName(scanned.name), index, [&](std::size_t n) {
            return equalsNoCase(keyOf(section.lines[n]), scanned.name);
        });
        section.lastKeyLine = index;
        return;
    }
    // Lines the reading rules skip join the run before them: no object per blank line.
    if (!section.lines.empty() && section.lines.back().kind == LineKind::Other &&
        section.lines.back().edit == 0) {
        Line& run = section.lines.back();
        run.size = scanned.begin + scanned.size - run.begin;
        return;
    }
    section.lines.push_back(Line{scanned.begin, scanned.size, kNone, 0, LineKind::Other});
}

std::size_t IniDocument::addSection(Line header, std::string_view name) {
    Section section;
    section.hasHeader = true;
    section.name = std::string(name);
    section.lines.push_back(header);
    m_sections.push_back(std::move(section));
    const std::size_t index = m_sections.size() - 1;
    m_sectionIndex.insertFirst(hashName(name), index, [&](std::size_t n) {
        return equalsNoCase(m_sections[n].name, name);
    });
    return index;
}

std::string_view IniDocument::textOf(const Line& line) const {
    return line.edit != 0 ? std::string_view(m_edits[line.edit - 1])
                          : std::string_view(m_source).substr(line.begin, line.size);
}

void IniDocument::setText(Line& line, std::string text) {
    if (line.edit == 0) {
        m_edits.push_back(std::move(text));
        line.edit = static_cast<std::uint32_t>(m_edits.size());
    } else {
        m_edits[line.edit - 1] = std::move(text);
    }
}

void IniDocument::appendText(const Line& line, std::string& out) const {
    const std::string_view text = textOf(line);
    if (line.kind != LineKind::Other || line.edit != 0) {
        out += text;
        return;
    }
    // A run of lines: each written with the document's line ending, without its CRs.
    std::size_t pos = 0;
    for (;;) {
        const auto lineFeed = text.find('\n', pos);
        std::size_t end = lineFeed == std::string_view::npos ? text.size() : lineFeed;
        while (end > pos && text[end - 1] == '\r') {
            --end;
        }
        out += text.substr(pos, end - pos);
        if (lineFeed == std::string_view::npos) {
            return;
        }
        out += m_lineEnding;
        pos = lineFeed + 1;
    }
}

std::string_view IniDocument::keyOf(const Line& line) const {
    return trimBlanks(textOf(line).substr(0, line.equals));
}

std::string_view IniDocument::valueOf(const Line& line) const {
    return valueOf(textOf(line), line.equals);
}

std::size_t IniDocument::findSection(std::string_view section) const {
    section = trimBlanks(section);
    return m_sectionIndex.find(hashName(section), [&](std::size_t n) {
        return equalsNoCase(m_sections[n].name, section);
    });
}

std::size_t IniDocument::findKey(const Section& section, std::string_view key) const {
    key = trimBlanks(key);
    return section.keys.find(
        hashName(key), [&](std::size_t n) { return equalsNoCase(keyOf(section.lines[n]), key); });
}

const IniDocument::Line* IniDocument::findKeyLine(std::string_view section,
                                                  std::string_view key) const {
    const std::size_t index = findSection(section);
    if (index == kNone) {
        return nullptr;
    }
    const std::size_t line = findKey(m_sections[index], key);
    return line == kNone ? nullptr : &m_sections[index].lines[line];
}

std::optional<std::string_view> IniDocument::view(std::string_view section,
                                                  std::string_view key) const {
    const Line* line = findKeyLine(section, key);
    if (line == nullptr) {
        return std::nullopt;
    }
    return valueOf(*line);
}

std::optional<std::string> IniDocument::get(std::string_view section, std::string_view key) const {
    const auto value = view(section, key);
    return value ? std::optional<std::string>(*value) : std::nullopt;
}

std::string IniDocument::get(std::string_view section, std::string_view key,
                             std::string_view fallback, std::size_t bufferSize) const {
    // The profile call drops a default's trailing blanks.
    const std::string_view value =
        view(section, key).value_or(fallback.substr(0, fallback.find_last_not_of(" \t") + 1));
    const std::size_t room = bufferSize == 0 ? 0 : bufferSize - 1;
    return std::string(value.substr(0, room));
}

std::vector<std::pair<std::string, std::string>> IniDocument::entries(
    std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> result;
    const std::size_t index = findSection(section);
    if (index == kNone) {
        return result;
    }
    for (const Line& line : m_sections[index].lines) {
        if (line.equals != kNone) {
            result.emplace_back(std::string(keyOf(line)), std::string(valueOf(line)));
        }
    }
    return result;
}

void IniDocument::set(std::string_view section, std::string_view key, std::string_view value) {
    const std::string_view sectionName = trimBlanks(section);
    const std::string_view name = trimBlanks(key);
    if (!readableName(sectionName, "\r\n]") || !readableName(name, "\r\n=")) {
        return;
    }
    std::size_t index = findSection(sectionName);
    if (index == kNone) {
        Line header{0, 0, kNone, 0, LineKind::Header};
        setText(header, "[" + std::string(sectionName) + "]");
        index = addSection(header, sectionName);
    }
    Section& target = m_sections[index];
    const std::size_t existing = findKey(target, name);
    if (existing != kNone) {
        Line& line = target.lines[existing];
        std::string text(textOf(line).substr(0, line.equals + 1));
        text += withoutLineBreaks(value);
        setText(line, std::move(text));
        return;
    }
    Line line{0, 0, name.size(), 0, LineKind::Key};
    setText(line, std::string(name) + "=" + withoutLineBreaks(value));
    // Only blank or comment lines follow the last key line, so no indexed line moves.
    const std::size_t at = target.lastKeyLine + 1;
    target.lines.insert(target.lines.begin() + static_cast<std::ptrdiff_t>(at), line);
    target.keys.insertFirst(hashName(name), at, [](std::size_t) { return false; });
    target.lastKeyLine = at;
    if (index == m_sections.size() - 1 && at == target.lines.size() - 1) {
        m_endsWithNewline = true;
    }
}

bool IniDocument::remove(std::string_view section, std::string_view key) {
    const std::size_t index = findSection(section);
    if (index == kNone) {
        return false;
    }
    Section& target = m_sections[index];
    const std::size_t line = findKey(target, key);
    if (line == kNone) {
        return false;
    }
    target.lines.erase(target.lines.begin() + static_cast<std::ptrdiff_t>(line));
    // Later lines moved up by one; a later line with the same key may now be the first.
    indexKeys(target);
    return true;
}

void IniDocument::indexKeys(Section& section) {
    section.keys.clear();
    section.lastKeyLine = 0;
    for (std::size_t i = 0; i < section.lines.size(); ++i) {
        if (section.lines[i].equals != kNone) {
            const std::string_view key = keyOf(section.lines[i]);
            section.keys.insertFirst(hashName(key), i, [&](std::size_t n) {
                return equalsNoCase(keyOf(section.lines[n]), key);
            });
            section.lastKeyLine = i;
        }
    }
}

std::string IniDocument::text() const {
    std::size_t total = 0;
    for (const Section& section : m_sections) {
        for (const Line& line : section.lines) {
            total += textOf(line).size() + m_lineEnding.size();
        }
    }
    std::string out;
    // A run's LF endings may grow to CR LF: about right is enough.
    out.reserve(total + total / 8);
    bool first = true;
    for (const Section& section : m_sections) {
        for (const Line& line : section.lines) {
            if (!first) {
                out += m_lineEnding;
            }
            appendText(line, out);
            first = false;
        }
    }
    if (!first && m_endsWithNewline) {
        out += m_lineEnding;
    }
    return out;
}

}  // namespace halvern::base
