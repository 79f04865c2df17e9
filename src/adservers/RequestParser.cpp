#include "adservers/RequestParser.h"

#include <algorithm>
#include <array>

namespace halvern::adservers {

namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
    if (text.size() < lowerPrefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
        if (lower(text[i]) != lowerPrefix[i]) {
            return false;
        }
    }
    return true;
}

bool containsNoCase(std::string_view text, std::string_view lowerNeedle) {
    if (lowerNeedle.size() > text.size()) {
        return false;
    }
    for (std::size_t i = 0; i + lowerNeedle.size() <= text.size(); ++i) {
        if (startsWithNoCase(text.substr(i), lowerNeedle)) {
            return true;
        }
    }
    return false;
}

// The characters a method may be made of.
bool isTokenChar(char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
        return true;
    }
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// A value ends at the line's end; a bare LF ends it as well as CR LF does.
std::size_t lineEnd(std::string_view text, std::size_t from) {
    const std::size_t end = text.find_first_of("\r\n", from);
    return end == std::string_view::npos ? text.size() : end;
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

std::string requestPath(std::string_view request) {
    const std::size_t g = request.find("GET ");
    if (g == std::string_view::npos) {
        return "index.html";
    }
    std::size_t start = g + 4;
    // Only the "/" that starts the path is dropped; an absolute address keeps its first letter.
    if (start < request.size() && request[start] == '/') {
        ++start;
    }
    const std::size_t end = std::min(request.find(' ', start), lineEnd(request, start));
    std::string_view path = trimBlanks(request.substr(start, end - start));
    if (!path.empty() && path.back() == '/') {
        path.remove_suffix(1);
    }
    if (path.empty() || path == "/") {
        return "index.html";
    }
    return std::string(path);
}

}  // namespace

std::size_t RequestParser::headLength(std::string_view buffer, std::size_t from) {
    // Step back so a terminator split across two reads is still found.
    std::size_t i = from > 3 ? from - 3 : 0;
    for (; i < buffer.size(); ++i) {
        if (buffer[i] != '\n') {
            continue;
        }
        if (i + 1 < buffer.size() && buffer[i + 1] == '\n') {
            return i + 2;
        }
        if (i + 2 < buffer.size() && buffer[i + 1] == '\r' && buffer[i + 2] == '\n') {
            return i + 3;
        }
    }
    return 0;
}

LineStart RequestParser::lineStart(std::string_view bytes, std::size_t from) {
    for (std::size_t i = std::min(from, bytes.size()); i < bytes.size(); ++i) {
        if (bytes[i] == ' ') {
            return i == 0 ? LineStart::Impossible : LineStart::Begun;
        }
        if (!isTokenChar(bytes[i])) {
            return LineStart::Impossible;
        }
    }
    return LineStart::Undecided;
}

std::string_view RequestParser::headerValue(std::string_view request,
                                            std::string_view nameWithColon) {
    // Header names count only at the start of a line, so "X-Forwarded-Host:" is not "host:".
    std::size_t pos = request.find('\n');
    while (pos != std::string_view::npos) {
        const std::size_t lineStart = pos + 1;
        if (startsWithNoCase(request.substr(lineStart), nameWithColon)) {
            const std::size_t valueStart = lineStart + nameWithColon.size();
            return request.substr(valueStart, lineEnd(request, valueStart) - valueStart);
        }
        if (lineStart < request.size() &&
            (request[lineStart] == '\r' || request[lineStart] == '\n')) {
            break;  // the blank line ends the head; what follows is a body
        }
        pos = request.find('\n', lineStart);
    }
    return {};
}

ParsedRequest RequestParser::parse(std::string_view request) {
    ParsedRequest r;
    r.isGet = request.starts_with("GET");
    if (!r.isGet) {
        return r;
    }
    // The blank after the colon is not part of the name; nor is any other padding.
    r.host = std::string(trimBlanks(headerValue(request, "host:")));
    r.agent = std::string(headerValue(request, "user-agent:"));
    r.referer = std::string(headerValue(request, "referer:"));
    r.path = requestPath(request);
    return r;
}

std::string RequestParser::shownPath(std::string_view path) {
    std::string shown;
    shown.reserve(path.size() + path.size() / 4 + 8);
    for (char c : path) {
        shown += c;
        if (c == '/' || c == ';' || c == '&') {
            shown += ' ';
        }
    }
    return shown;
}

PlaceholderKind RequestParser::choosePlaceholder(std::string_view path) {
    static constexpr std::array<std::pair<std::string_view, PlaceholderKind>, 6> kTests{{
        {".js", PlaceholderKind::JsDot},
        {"js.", PlaceholderKind::JsSuffix},
        {".jpg", PlaceholderKind::Jpg},
        {".gif", PlaceholderKind::Gif},
        {".html", PlaceholderKind::Html},
        {".htm", PlaceholderKind::Htm},
    }};
    for (const auto& [needle, kind] : kTests) {
        if (containsNoCase(path, needle)) {
            return kind;
        }
    }
    return PlaceholderKind::Generic;
}

}  // namespace halvern::adservers
