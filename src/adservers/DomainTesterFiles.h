#pragma once

#include <string>
#include <string_view>

#include "platform/Scheduler.h"

namespace halvern::adservers {

/// The text edits the domain tester makes to the server copies of domains.txt and removals.txt.
/// Lines are whole lines: CR LF and LF files alike, a last line without a line break included.
namespace DomainTesterFiles {

/// The text's own line ending: that of its first line break, CR LF when it has none (the
/// download files' form).
std::string_view lineEnding(std::string_view text);
/// The text without every line that is exactly the host (case-sensitive), each with its line
/// break; the lines around it stay as they were.
std::string withoutLine(std::string_view text, std::string_view host);
/// Where new lines go: at the start of a trailing "[END]" line (the last line that is not
/// blank), which must stay the last, else at the end.
std::size_t insertPoint(std::string_view text);
/// True when a whole line that is no comment equals the host, both trimmed, ignoring case.
bool hasLine(std::string_view text, std::string_view host);
/// The local time in the system's general date-time form: "12/10/2026 9:05:03 AM".
std::string generalDate(const platform::LocalTime& time);

}  // namespace DomainTesterFiles

}  // namespace halvern::adservers
