#include "adservers/UpdateList.h"

#include <algorithm>

namespace halvern::adservers {

namespace {

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

UpdateList UpdateList::parse(std::string_view body) {
    UpdateList list;
    list.lines.reserve(body.size() / 20 + 1);
    std::size_t pos = 0;
    while (true) {
        const auto lf = body.find('\n', pos);
        std::string_view piece =
            body.substr(pos, lf == std::string_view::npos ? body.npos : lf - pos);
        if (lf != std::string_view::npos && piece.ends_with('\r')) {
            piece.remove_suffix(1);
        }
        if (lf == std::string_view::npos) {
            // The last piece: the framing line, untrimmed, or a body cut short.
            list.complete = piece == kEndLine;
            if (!list.complete) {
                list.lines.clear();
            }
            return list;
        }
        list.lines.emplace_back(trimBlanks(piece));
        pos = lf + 1;
    }
}

int UpdateList::entryCount() const {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                          [](const std::string& line) { return isEntry(line); }));
}

}  // namespace halvern::adservers
