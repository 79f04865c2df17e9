#include "platform/linux/RegistryFileFormat.h"

#include <algorithm>
#include <cstdint>

namespace halvern::platform {

namespace {

const std::string kFirstLine = "halvern registry 1";

std::string quoted(const std::string& bytes) {
    static const char* const hex = "0123456789ABCDEF";
    std::string text = "\"";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E || c == '"' || c == '%') {
            text += '%';
            text += hex[byte >> 4];
            text += hex[byte & 0xF];
        } else {
            text += c;
        }
    }
    return text + "\"";
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

/// Reads the parts of one line: quoted texts and decimal numbers, one blank apart.
class LineReader {
public:
    /// Reads the line from `at`, past its first word.
    LineReader(const std::string& line, std::size_t at) : m_line(line), m_at(at) {}

    std::optional<std::string> text() {
        if (!blankBefore() || m_at >= m_line.size() || m_line[m_at] != '"') {
            return std::nullopt;
        }
        std::string bytes;
        for (++m_at; m_at < m_line.size() && m_line[m_at] != '"'; ++m_at) {
            if (m_line[m_at] != '%') {
                bytes += m_line[m_at];
                continue;
            }
            const int high = m_at + 2 < m_line.size() ? hexDigit(m_line[m_at + 1]) : -1;
            const int low = high >= 0 ? hexDigit(m_line[m_at + 2]) : -1;
            if (low < 0) {
                return std::nullopt;
            }
            bytes += static_cast<char>(high * 16 + low);
            m_at += 2;
        }
        if (m_at >= m_line.size()) {
            return std::nullopt;
        }
        ++m_at;
        return bytes;
    }

    std::optional<std::uint32_t> number() {
        if (!blankBefore()) {
            return std::nullopt;
        }
        std::uint64_t n = 0;
        const std::size_t begin = m_at;
        while (m_at < m_line.size() && m_line[m_at] >= '0' && m_line[m_at] <= '9' &&
               m_at - begin < 10) {
            n = n * 10 + static_cast<std::uint64_t>(m_line[m_at++] - '0');
        }
        if (m_at == begin || n > UINT32_MAX) {
            return std::nullopt;
        }
        return static_cast<std::uint32_t>(n);
    }

    bool atEnd() const { return m_at == m_line.size(); }

private:
    /// Every part but the line's first word is one blank after the one before.
    bool blankBefore() {
        if (m_at >= m_line.size() || m_line[m_at] != ' ') {
            return false;
        }
        ++m_at;
        return true;
    }

    const std::string& m_line;
    std::size_t m_at;
};

/// True when the line's first word is `word`.
bool opensWith(const std::string& line, const std::string& word) {
    return line.compare(0, word.size(), word) == 0 &&
           (line.size() == word.size() || line[word.size()] == ' ');
}

}  // namespace

std::string RegistryFileFormat::format(const RegistryTree& tree, const std::string& note) {
    std::string text = kFirstLine + "\n# " + note + "\n";
    for (const RegistryTree::Key* key : tree.keys()) {
        // The root key is there without a line; any other key has one, values or not.
        if (!key->path.empty() || !key->values.empty()) {
            text += "key " + quoted(key->path) + "\n";
        }
        for (const RegistryTree::Value& v : key->values) {
            text += "value " + quoted(v.name) + " " + std::to_string(v.value.type) + " " +
                    quoted(v.value.data) + "\n";
        }
    }
    return text;
}

std::optional<RegistryTree> RegistryFileFormat::parse(const std::string& text, std::string& error) {
    RegistryTree tree;
    std::optional<std::string> key;
    std::size_t begin = 0;
    for (int number = 1; begin < text.size(); ++number) {
        const std::size_t end = std::min(text.find('\n', begin), text.size());
        std::string line = text.substr(begin, end - begin);
        begin = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const auto wrong = [&error, number](const std::string& why) {
            error = "line " + std::to_string(number) + ": " + why;
            return std::nullopt;
        };
        if (number == 1) {
            if (line != kFirstLine) {
                return wrong("not \"" + kFirstLine + "\"");
            }
            continue;
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const std::string word = opensWith(line, "key") ? "key" : "value";
        if (!opensWith(line, word)) {
            return wrong("neither a key nor a value");
        }
        LineReader reader(line, word.size());
        if (word == "key") {
            key = reader.text();
            if (!key || !reader.atEnd() || !RegistryTree::validPath(*key)) {
                return wrong("not a key path in quotes");
            }
            tree.createKey(*key);
            continue;
        }
        const auto name = reader.text();
        const auto type = name ? reader.number() : std::nullopt;
        const auto data = type ? reader.text() : std::nullopt;
        if (!data || !reader.atEnd()) {
            return wrong("not a name in quotes, a type number and data in quotes");
        }
        if (!key) {
            return wrong("a value before any key");
        }
        tree.setValue(*key, *name, RegistryValue{*type, *data});
    }
    if (begin == 0) {
        error = "the file is empty";
        return std::nullopt;
    }
    return tree;
}

}  // namespace halvern::platform
