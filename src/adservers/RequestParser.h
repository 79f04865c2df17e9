#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace halvern::adservers {

/// The placeholders the web server answers with, in the order the path is tested for them.
enum class PlaceholderKind { JsDot, JsSuffix, Jpg, Gif, Html, Htm, Generic };

/// How the first bytes of a connection stand as the start of a request line, whose method is one
/// or more token characters ("A" to "Z", "a" to "z", digits and !#$%&'*+-.^_`|~) ended by a blank.
enum class LineStart {
    /// Every byte so far is a token character: more must arrive to tell.
    Undecided,
    /// The method and its blank arrived; whatever follows is left to the head's parse.
    Begun,
    /// A byte that cannot continue the method arrived (binary data, a TLS hello, a line break or
    /// a blank before any method): these bytes never become a request line.
    Impossible,
};

/// What the web server takes from a request.
struct ParsedRequest {
    /// The request starts with "GET"; anything else is answered "UNKNOWN".
    bool isGet = false;
    /// The Host header's value without the blank after the colon.
    std::string host;
    /// The User-Agent and Referer values as sent, with the blank after the colon.
    std::string agent;
    std::string referer;
    /// The request path without its leading "/" and one trailing "/"; "index.html" for the root.
    std::string path;
};

/// Reads the head of a request sent to the placeholder web server. Pure functions, no state.
class RequestParser {
public:
    /// Requests whose head grows past this are answered with what arrived.
    static constexpr std::size_t kMaxHead = std::size_t{16} * 1024;

    /// Where the blank line that ends the head can be, given the buffer; 0 while incomplete.
    /// The search starts at `from`, so a growing buffer is scanned once.
    static std::size_t headLength(std::string_view buffer, std::size_t from = 0);
    /// How the bytes stand as the start of a request line. The bytes before `from` are known to
    /// be token characters (an earlier call on a shorter buffer said Undecided), so a growing
    /// buffer is scanned once.
    static LineStart lineStart(std::string_view bytes, std::size_t from = 0);
    /// Splits the request into the values the server shows and records.
    static ParsedRequest parse(std::string_view request);
    /// The path with a blank after every "/", ";" and "&", so a label can wrap it.
    static std::string shownPath(std::string_view path);
    /// The placeholder for the path: the first of ".js", "js.", ".jpg", ".gif", ".html", ".htm"
    /// that the lower-cased path contains, else the generic image.
    static PlaceholderKind choosePlaceholder(std::string_view path);
    /// The value of the first header line with this name (lower case, with its colon), from just
    /// after the colon to the end of the line; empty when there is none.
    static std::string_view headerValue(std::string_view request, std::string_view nameWithColon);
};

}  // namespace halvern::adservers
