#include "adservers/DomainTesterFiles.h"

#include <functional>

#include "base/ValueConversion.h"

namespace halvern::adservers::DomainTesterFiles {

namespace {

using base::ValueConversion::lowerAscii;
using base::ValueConversion::trimBlanks;

/// Calls onLine(begin, body, next) for every line: body without its line break, next the
/// position after it.
void forEachLine(std::string_view text,
                 const std::function<void(std::size_t, std::string_view, std::size_t)>& onLine) {
    std::size_t begin = 0;
    while (begin < text.size()) {
        const std::size_t lf = text.find('\n', begin);
        const std::size_t next = lf == std::string_view::npos ? text.size() : lf + 1;
        std::string_view body =
            text.substr(begin, (lf == std::string_view::npos ? next : lf) - begin);
        if (body.ends_with('\r')) {
            body.remove_suffix(1);
        }
        onLine(begin, body, next);
        begin = next;
    }
}

}  // namespace

std::string_view lineEnding(std::string_view text) {
    const auto lf = text.find('\n');
    if (lf == std::string_view::npos) {
        return "\r\n";
    }
    return lf > 0 && text[lf - 1] == '\r' ? "\r\n" : "\n";
}

std::string withoutLine(std::string_view text, std::string_view host) {
    std::string kept;
    kept.reserve(text.size());
    forEachLine(text, [&](std::size_t begin, std::string_view body, std::size_t next) {
        if (body != host) {
            kept.append(text.substr(begin, next - begin));
        }
    });
    return kept;
}

std::size_t insertPoint(std::string_view text) {
    std::size_t lastStart = text.size();
    std::string_view last;
    forEachLine(text, [&](std::size_t begin, std::string_view body, std::size_t) {
        if (!trimBlanks(body).empty()) {
            lastStart = begin;
            last = body;
        }
    });
    return trimBlanks(last) == "[END]" ? lastStart : text.size();
}

bool hasLine(std::string_view text, std::string_view host) {
    const std::string wanted = lowerAscii(trimBlanks(host));
    bool found = false;
    forEachLine(text, [&](std::size_t, std::string_view body, std::size_t) {
        const std::string_view line = trimBlanks(body);
        if (!found && !line.starts_with('#') && line.size() == wanted.size() &&
            lowerAscii(line) == wanted) {
            found = true;
        }
    });
    return found;
}

std::string generalDate(const platform::LocalTime& time) {
    const int hour12 = time.hour % 12 == 0 ? 12 : time.hour % 12;
    const auto two = [](int n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    return std::to_string(time.month) + "/" + std::to_string(time.day) + "/" +
           std::to_string(time.year) + " " + std::to_string(hour12) + ":" + two(time.minute) + ":" +
           two(time.second) + (time.hour < 12 ? " AM" : " PM");
}

}  // namespace halvern::adservers::DomainTesterFiles
