#include "spyware/SpywareList.h"

#include <unordered_set>

namespace halvern::spyware::SpywareList {

std::string trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

Fields split(std::string_view value) {
    Fields fields;
    std::string* parts[] = {&fields.watch, &fields.asked, &fields.description};
    std::size_t begin = 0;
    for (std::string* part : parts) {
        const auto colon = value.find(':', begin);
        *part = std::string(value.substr(
            begin, colon == std::string_view::npos ? std::string_view::npos : colon - begin));
        ++fields.present;
        if (colon == std::string_view::npos) {
            break;
        }
        begin = colon + 1;
    }
    return fields;
}

bool hasFields(std::string_view value) {
    return value.find(':') != std::string_view::npos;
}

std::vector<Line> read(const base::IniDocument& document, std::vector<std::string>* duplicates) {
    std::vector<Line> lines;
    std::unordered_set<std::string> seen;
    for (auto& [key, val] : document.entries(kSection)) {
        // The reading rules compare names without regard to ASCII case.
        if (!seen.insert(lower(key)).second) {
            if (duplicates != nullptr) {
                duplicates->push_back(key);
            }
            continue;
        }
        lines.push_back(Line{key, val});
    }
    return lines;
}

std::optional<std::string> value(const base::IniDocument& document, std::string_view name) {
    return document.get(kSection, name);
}

std::string merged(const std::optional<std::string>& current, std::string_view description) {
    std::string watch = "1";
    std::string asked = "0";
    if (current && current->size() >= 2) {
        Fields fields = split(*current);
        watch = fields.watch;
        if (!fields.asked.empty()) {
            asked = fields.asked;
        }
    }
    return watch + ":" + asked + ":" + std::string(description);
}

std::string withWatch(std::string_view value, bool watch) {
    const char flag = watch ? '1' : '0';
    if (!hasFields(value)) {
        // A bare flag (or nothing) has no asked field to keep: the program is asked about first.
        return std::string(1, flag) + ":0:";
    }
    std::string out(value);
    out.front() = flag;
    return out;
}

}  // namespace halvern::spyware::SpywareList
