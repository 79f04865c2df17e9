#include "adservers/HostsFileBuilder.h"

#include <unordered_set>

#include "adservers/HostName.h"

namespace halvern::adservers {

namespace {

using NameSet = std::unordered_set<std::string_view>;

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

/// Calls f(body, raw) for every line: raw with its line break, body without LF or CR LF.
template <typename F>
void forEachLine(std::string_view text, F&& f) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto lf = text.find('\n', pos);
        const std::size_t end = lf == std::string_view::npos ? text.size() : lf + 1;
        const std::string_view raw = text.substr(pos, end - pos);
        std::string_view body = raw;
        if (body.ends_with('\n')) {
            body.remove_suffix(1);
        }
        if (body.ends_with('\r')) {
            body.remove_suffix(1);
        }
        f(body, raw);
        pos = end;
    }
}

/// Calls f(name) for every valid trimmed entry of the lists; invalid ones go to rejected.
template <typename F>
void forEachName(std::span<const std::string> list, std::vector<std::string>& rejected, F&& f) {
    for (const std::string& entry : list) {
        const std::string_view name = trimBlanks(entry);
        if (name.empty()) {
            continue;
        }
        if (!HostName::isValid(name)) {
            rejected.emplace_back(entry);
            continue;
        }
        f(name);
    }
}

NameSet blockedNamesOf(std::string_view text) {
    NameSet names;
    names.reserve(text.size() / 24 + 16);
    forEachLine(text, [&](std::string_view body, std::string_view) {
        const std::string_view name = HostsFileBuilder::blockedName(body);
        if (!name.empty()) {
            names.insert(name);
        }
    });
    return names;
}

/// The lines of a text without their line endings.
NameSet linesOf(std::string_view text) {
    NameSet lines;
    forEachLine(text, [&](std::string_view body, std::string_view) { lines.insert(body); });
    return lines;
}

}  // namespace

std::string_view HostsFileBuilder::lineEnding(std::string_view text) {
    const auto lf = text.find('\n');
    return lf != std::string_view::npos && lf > 0 && text[lf - 1] == '\r' ? "\r\n" : "\n";
}

std::string_view HostsFileBuilder::blockedName(std::string_view line) {
    return line.starts_with(kLinePrefix) ? line.substr(kLinePrefix.size()) : std::string_view();
}

HostsFileBuilder::Merge HostsFileBuilder::merge(std::string_view hostsText,
                                                std::span<const std::string> defaultNames,
                                                std::span<const std::string> userNames,
                                                std::span<const std::string> allowedNames,
                                                std::string_view usersOwn) {
    Merge result;
    const std::string_view eol = lineEnding(hostsText);
    // Presence is tested by whole line: a longer name that starts with this one is no match.
    const NameSet present = blockedNamesOf(hostsText);
    NameSet allowed;
    for (const std::string& entry : allowedNames) {
        if (const auto name = trimBlanks(entry); !name.empty()) {
            allowed.insert(name);
        }
    }
    // Only lines the program could have added go: those of listed names that are not lines of
    // the user's own file.
    NameSet listed;
    std::vector<std::string> ignored;
    const auto insert = [&](std::string_view name) { listed.insert(name); };
    forEachName(defaultNames, ignored, insert);
    forEachName(userNames, ignored, insert);
    const NameSet own = linesOf(usersOwn);
    const auto dropped = [&](std::string_view body) {
        const std::string_view name = blockedName(body);
        return allowed.contains(name) && listed.contains(name) && !own.contains(body);
    };

    result.newLines.reserve((defaultNames.size() + userNames.size()) * 32);
    const auto add = [&](std::string_view name) {
        if (present.contains(name) || allowed.contains(name)) {
            return;
        }
        result.newLines.append(kLinePrefix).append(name).append(eol);
        ++result.added;
    };
    forEachName(defaultNames, result.rejected, add);
    forEachName(userNames, result.rejected, add);

    result.text.reserve(result.newLines.size() + hostsText.size());
    result.text = result.newLines;
    forEachLine(hostsText, [&](std::string_view body, std::string_view raw) {
        if (body.empty() || dropped(body)) {
            return;
        }
        result.text.append(raw);
    });
    return result;
}

std::string HostsFileBuilder::withoutAdded(std::string_view hostsText,
                                           std::span<const std::string> defaultNames,
                                           std::span<const std::string> userNames,
                                           std::string_view usersOwn) {
    NameSet listed;
    std::vector<std::string> ignored;
    const auto insert = [&](std::string_view name) { listed.insert(name); };
    forEachName(defaultNames, ignored, insert);
    forEachName(userNames, ignored, insert);
    const NameSet own = linesOf(usersOwn);
    std::string text;
    text.reserve(hostsText.size());
    forEachLine(hostsText, [&](std::string_view body, std::string_view raw) {
        const std::string_view name = blockedName(body);
        if (!name.empty() && listed.contains(name) && !own.contains(body)) {
            return;
        }
        text.append(raw);
    });
    return text;
}

HostsFileBuilder::Removal HostsFileBuilder::remove(std::string_view hostsText,
                                                   std::span<const std::string> defaultNames,
                                                   std::span<const std::string> userNames) {
    Removal result;
    NameSet listed;
    listed.reserve(defaultNames.size() + userNames.size());
    const auto insert = [&](std::string_view name) { listed.insert(name); };
    forEachName(defaultNames, result.rejected, insert);
    forEachName(userNames, result.rejected, insert);

    result.text.reserve(hostsText.size());
    forEachLine(hostsText, [&](std::string_view body, std::string_view raw) {
        const std::string_view name = blockedName(body);
        if (!name.empty() && listed.contains(name)) {
            ++result.removed;
            return;
        }
        result.text.append(raw);
    });
    return result;
}

}  // namespace halvern::adservers
