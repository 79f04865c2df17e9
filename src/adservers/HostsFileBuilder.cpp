#include "adservers/HostsFileBuilder.h"

#include <algorithm>
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

/// Where the entries the builder does not take go.
struct LeftOut {
    std::string_view machineName;
    /// Entries that are not host names.
    std::vector<std::string>* rejected = nullptr;
    /// Names of this machine.
    std::vector<std::string>* reserved = nullptr;
};

/// Calls f(name) for every valid trimmed entry of the list that does not name this machine.
template <typename F>
void forEachName(std::span<const std::string> list, const LeftOut& leftOut, F&& f) {
    for (const std::string& entry : list) {
        const std::string_view name = trimBlanks(entry);
        if (name.empty()) {
            continue;
        }
        if (!HostName::isValid(name)) {
            if (leftOut.rejected) {
                leftOut.rejected->emplace_back(entry);
            }
            continue;
        }
        // Never sent to the block address, and so never taken out either: such a line is the
        // user's.
        if (HostName::namesThisMachine(name, leftOut.machineName)) {
            if (leftOut.reserved) {
                leftOut.reserved->emplace_back(name);
            }
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

/// The names the user's own lines map, to an address of the user's choosing: every line but the
/// program's block lines ("127.0.0.1 " and one host name), as HostName::key.
std::unordered_set<std::string> userMappedNames(std::string_view text) {
    std::unordered_set<std::string> names;
    forEachLine(text, [&](std::string_view body, std::string_view) {
        if (HostName::isValid(HostsFileBuilder::blockedName(body))) {
            return;
        }
        body = body.substr(0, body.find('#'));
        constexpr std::string_view kBlanks = " \t";
        bool address = true;
        for (auto start = body.find_first_not_of(kBlanks); start != std::string_view::npos;
             start = body.find_first_not_of(kBlanks, start)) {
            const auto end = std::min(body.find_first_of(kBlanks, start), body.size());
            if (!address) {
                names.insert(HostName::key(body.substr(start, end - start)));
            }
            address = false;
            start = end;
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
                                                std::string_view usersOwn,
                                                std::string_view machineName) {
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
    const auto insert = [&](std::string_view name) { listed.insert(name); };
    forEachName(defaultNames, {machineName}, insert);
    forEachName(userNames, {machineName}, insert);
    const NameSet own = linesOf(usersOwn);
    // The user's own mapping of a name wins: a block line in front of it would take its place.
    const std::unordered_set<std::string> mapped = userMappedNames(hostsText);
    const auto dropped = [&](std::string_view body) {
        const std::string_view name = blockedName(body);
        return allowed.contains(name) && listed.contains(name) && !own.contains(body);
    };

    result.newLines.reserve((defaultNames.size() + userNames.size()) * 32);
    const auto add = [&](std::string_view name) {
        if (present.contains(name) || allowed.contains(name) ||
            mapped.contains(HostName::key(name))) {
            return;
        }
        result.newLines.append(kLinePrefix).append(name).append(eol);
        ++result.added;
    };
    const LeftOut leftOut{machineName, &result.rejected, &result.reserved};
    forEachName(defaultNames, leftOut, add);
    forEachName(userNames, leftOut, add);

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
                                           std::string_view usersOwn,
                                           std::string_view machineName) {
    NameSet listed;
    const auto insert = [&](std::string_view name) { listed.insert(name); };
    forEachName(defaultNames, {machineName}, insert);
    forEachName(userNames, {machineName}, insert);
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
                                                   std::span<const std::string> userNames,
                                                   std::string_view machineName) {
    Removal result;
    NameSet listed;
    listed.reserve(defaultNames.size() + userNames.size());
    const auto insert = [&](std::string_view name) { listed.insert(name); };
    const LeftOut leftOut{machineName, &result.rejected, nullptr};
    forEachName(defaultNames, leftOut, insert);
    forEachName(userNames, leftOut, insert);

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
