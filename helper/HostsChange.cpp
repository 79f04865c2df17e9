#include "helper/HostsChange.h"

#include <cstddef>

#include "base/HostName.h"

namespace halvern::helper {

namespace {

constexpr std::string_view kLoopback = "127.0.0.1";
constexpr std::size_t kShownLine = 80;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmedEnd(std::string_view line) {
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    while (!line.empty() && isBlank(line.back())) {
        line.remove_suffix(1);
    }
    return line;
}

/// The name of a line "127.0.0.1<blanks><name>", or "" for any other shape.
std::string_view blockedName(std::string_view line) {
    line = trimmedEnd(line);
    if (!line.starts_with(kLoopback)) {
        return {};
    }
    line.remove_prefix(kLoopback.size());
    std::size_t blanks = 0;
    while (blanks < line.size() && isBlank(line[blanks])) {
        ++blanks;
    }
    return blanks == 0 ? std::string_view() : line.substr(blanks);
}

/// Walks a text line by line, skipping the lines the helper may add or drop.
class Lines {
public:
    Lines(std::string_view text, std::string_view machineName)
        : m_text(text), m_machine(machineName) {}

    /// The next line that must be kept, without its "\n"; false at the end.
    bool next(std::string_view& line) {
        while (m_pos < m_text.size()) {
            const std::size_t start = m_pos;
            std::size_t end = m_text.find('\n', start);
            if (end == std::string_view::npos) {
                end = m_text.size();
            }
            m_pos = end + 1;
            ++m_number;
            line = m_text.substr(start, end - start);
            if (!HostsChange::isIgnorable(line, m_machine)) {
                return true;
            }
        }
        return false;
    }
    std::size_t number() const { return m_number; }

private:
    std::string_view m_text;
    std::string_view m_machine;
    std::size_t m_pos = 0;
    std::size_t m_number = 0;
};

std::string shown(std::string_view line) {
    line = trimmedEnd(line);
    std::string text(line.substr(0, kShownLine));
    if (line.size() > kShownLine) {
        text += "...";
    }
    return "\"" + text + "\"";
}

std::string whyKept(std::string_view line, std::string_view machineName) {
    const std::string_view name = blockedName(line);
    if (base::HostName::isValid(name) && base::HostName::namesThisMachine(name, machineName)) {
        return " (" + std::string(name) + " is a name of this machine, which is never blocked)";
    }
    return {};
}

}  // namespace

bool HostsChange::isIgnorable(std::string_view line, std::string_view machineName) {
    const std::string_view body = trimmedEnd(line);
    if (body.empty()) {
        return true;
    }
    const std::string_view name = blockedName(line);
    return base::HostName::isValid(name) && !base::HostName::namesThisMachine(name, machineName);
}

HostsChange::Verdict HostsChange::check(std::string_view current, std::string_view proposed,
                                        std::string_view machineName) {
    Lines kept(current, machineName);
    Lines offered(proposed, machineName);
    for (;;) {
        std::string_view old;
        std::string_view now;
        const bool hasOld = kept.next(old);
        const bool hasNow = offered.next(now);
        if (!hasOld && !hasNow) {
            return {true, {}};
        }
        if (hasOld && hasNow && old == now) {
            continue;
        }
        if (hasNow && (!hasOld || old != now)) {
            // A line the new text holds where the current one holds another, or nothing.
            const bool added = !hasOld;
            return {false, "line " + std::to_string(offered.number()) + " of the new hosts file " +
                               shown(now) + whyKept(now, machineName) +
                               (added ? " is not in the current one"
                                      : " stands where the current one has " + shown(old) +
                                            whyKept(old, machineName)) +
                               ": only \"127.0.0.1 <host name>\" lines may be added or removed"};
        }
        return {false, "the new hosts file drops line " + std::to_string(kept.number()) + " " +
                           shown(old) + whyKept(old, machineName) +
                           ": only \"127.0.0.1 <host name>\" lines may be added or removed"};
    }
}

}  // namespace halvern::helper
