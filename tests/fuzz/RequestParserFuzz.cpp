// libFuzzer entry for the placeholder server's request parser: any bytes a client may send.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "adservers/RequestParser.h"

using halvern::adservers::RequestParser;

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const std::size_t head = RequestParser::headLength(input);
    check(head <= size);
    // A head that grows by reads is found where a single read would find it.
    const std::size_t cut = size / 2;
    if (RequestParser::headLength(input.substr(0, cut)) == 0) {
        check(RequestParser::headLength(input, cut) == head);
    }

    // Whether the bytes can begin a request line never depends on how they were split.
    const auto start = RequestParser::lineStart(input);
    const auto early = RequestParser::lineStart(input.substr(0, cut));
    using halvern::adservers::LineStart;
    check(early == LineStart::Undecided ? RequestParser::lineStart(input, cut) == start
                                        : early == start);
    const std::size_t blank = input.find(' ');
    check((start == LineStart::Begun) ==
          (blank != 0 && blank != std::string_view::npos &&
           RequestParser::lineStart(input.substr(0, blank)) == LineStart::Undecided));

    const auto request = RequestParser::parse(input);
    check(request.isGet == input.starts_with("GET"));
    check(request.host.size() <= size && request.agent.size() <= size);
    check(request.referer.size() <= size && request.path.size() <= size + 10);
    check(!request.isGet || !request.path.empty());
    check(request.host.find_first_of("\r\n") == std::string::npos);
    check(request.agent.find_first_of("\r\n") == std::string::npos);

    const std::string shown = RequestParser::shownPath(request.path);
    check(shown.size() >= request.path.size() && shown.size() <= 2 * request.path.size());
    RequestParser::choosePlaceholder(request.path);
    return 0;
}
