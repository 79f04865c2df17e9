#include "platform/linux/XdgAutostart.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace halvern::platform {

namespace {

// The escapes of a value of type string: a backslash, the control characters a line cannot
// hold, and a leading blank, which the reading would otherwise trim.
std::string escapeString(const std::string& value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case ' ':
                out += i == 0 ? "\\s" : " ";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// The length of the UTF-8 sequence a lead byte starts, its smallest code point and the lead's
// own bits; length 0 for a byte no sequence starts with.
struct Lead {
    std::size_t length;
    unsigned min;
    unsigned bits;
};

Lead leadOf(unsigned char c) {
    if (c < 0x80) {
        return {1, 0, c};
    }
    if ((c & 0xE0) == 0xC0) {
        return {2, 0x80, c & 0x1Fu};
    }
    if ((c & 0xF0) == 0xE0) {
        return {3, 0x800, c & 0x0Fu};
    }
    if ((c & 0xF8) == 0xF0) {
        return {4, 0x10000, c & 0x07u};
    }
    return {0, 0, 0};
}

// Well-formed UTF-8 without NUL, overlong forms or surrogates: what a desktop entry may hold.
bool isUtf8(const std::string& text) {
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const Lead lead = leadOf(static_cast<unsigned char>(text[i]));
        if (lead.length == 0 || text[i] == '\0' || i + lead.length > n) {
            return false;
        }
        unsigned code = lead.bits;
        for (std::size_t k = 1; k < lead.length; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (c & 0x3Fu);
        }
        if (code < lead.min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += lead.length;
    }
    return true;
}

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace

XdgAutostart::XdgAutostart(FileSystem& files, std::string folder)
    : m_files(files), m_folder(std::move(folder)) {}

AutostartResult XdgAutostart::write(const std::string& path, const AutostartEntry& entry) {
    const auto text = desktopEntry(entry);
    if (!text) {
        return {false, "a path or name of the entry is not valid UTF-8"};
    }
    const std::string parent = parentOf(path);
    errno = 0;
    if (!m_files.makeDirectories(parent)) {
        // A file in the folder's place leaves errno unset: mkdir found a name, not a folder.
        return {false, std::strerror(errno != 0 && errno != EEXIST ? errno : ENOTDIR)};
    }
    if (!m_files.write(path, *text)) {
        return {false, m_files.writeError()};
    }
    return {true, {}};
}

AutostartResult XdgAutostart::remove(const std::string& path) {
    if (::unlink(path.c_str()) != 0) {
        return {false, std::strerror(errno)};
    }
    return {true, {}};
}

bool XdgAutostart::exists(const std::string& path) const {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string XdgAutostart::defaultFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') {
        return std::string(config) + "/autostart";
    }
    const char* home = std::getenv("HOME");
    std::string base = home && home[0] == '/' ? home : "";
    if (base.empty()) {
        if (const passwd* user = ::getpwuid(::getuid())) {
            base = user->pw_dir;
        }
    }
    return base + "/.config/autostart";
}

std::optional<std::string> XdgAutostart::desktopEntry(const AutostartEntry& entry) {
    for (const std::string* text :
         {&entry.name, &entry.comment, &entry.program, &entry.workingFolder, &entry.icon}) {
        if (!isUtf8(*text)) {
            return std::nullopt;
        }
    }
    std::string out = "[Desktop Entry]\nType=Application\n";
    out += "Name=" + escapeString(entry.name) + "\n";
    out += "Comment=" + escapeString(entry.comment) + "\n";
    out += "Exec=" + execValue(entry.program) + "\n";
    if (!entry.workingFolder.empty()) {
        out += "Path=" + escapeString(entry.workingFolder) + "\n";
    }
    if (!entry.icon.empty()) {
        out += "Icon=" + escapeString(entry.icon) + "\n";
    }
    out += "Terminal=false\nX-GNOME-Autostart-enabled=true\n";
    return out;
}

std::string XdgAutostart::execValue(const std::string& program) {
    // Always quoted: inside the quotes only '"', '`', '$' and '\' need a backslash, and a '%'
    // is doubled wherever it stands, since the session expands field codes after unquoting.
    std::string quoted = "\"";
    for (const char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (c == '%') {
            quoted += "%%";
        } else {
            quoted += c;
        }
    }
    quoted += '"';
    // The string escapes come on top: the reading undoes them before the quoting.
    return escapeString(quoted);
}

}  // namespace halvern::platform
