#include "platform/linux/XdgUserStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/IniDocument.h"
#include "platform/linux/XdgFolders.h"

namespace halvern::platform {

namespace {

bool holdsLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The reading rules trim blanks and take off one pair of enclosing quotes; a value they would
// change is stored inside quotes, which the reading takes off again.
std::string encodeValue(const std::string& value) {
    if (value.empty()) {
        return value;
    }
    bool trimmable = isBlank(value.front()) || isBlank(value.back());
    bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                  value.back() == value.front();
    return trimmable || quoted ? "\"" + value + "\"" : value;
}

// A name the INI file could not read back, after the reading rules trim its blanks.
bool readableName(const std::string& name, const char* forbidden) {
    const auto begin = name.find_first_not_of(" \t");
    return begin != std::string::npos && name.find_first_of(forbidden) == std::string::npos &&
           name[begin] != '[' && name[begin] != ';';
}

bool validAddress(const std::string& section, const std::string& key) {
    return readableName(section, "\r\n]") && readableName(key, "\r\n=");
}

// The store holds the settings password's hash: its folder is the user's alone (0700) and its
// files are readable by the user only (0600). The file system's writes keep a file's mode, so a
// new file is created 0600 before its first write, and an older, wider one is narrowed.
bool makePrivateFolder(FileSystem& files, const std::string& folder) {
    const auto slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0 &&
        !files.makeDirectories(folder.substr(0, slash))) {
        return false;
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return false;
    }
    if ((st.st_mode & 077) != 0 && st.st_uid == ::geteuid()) {
        ::chmod(folder.c_str(), st.st_mode & 0700);
    }
    return true;
}

void makePrivateFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0 &&
        st.st_uid == ::geteuid()) {
        ::chmod(path.c_str(), st.st_mode & 0700);
    }
}

}  // namespace

XdgUserStore::XdgUserStore(FileSystem& files, std::string folder,
                           std::vector<std::string> foreignFiles)
    : m_files(files), m_folder(std::move(folder)), m_foreignFiles(std::move(foreignFiles)) {}

std::optional<std::string> XdgUserStore::get(const std::string& application,
                                             const std::string& section,
                                             const std::string& key) const {
    const std::string path = fileFor(application);
    if (path.empty() || !validAddress(section, key)) {
        return std::nullopt;
    }
    auto text = m_files.read(path);
    if (!text) {
        return std::nullopt;
    }
    return base::IniDocument::parse(*text).get(section, key);
}

bool XdgUserStore::set(const std::string& application, const std::string& section,
                       const std::string& key, const std::string& value) {
    const std::string path = fileFor(application);
    if (path.empty() || !validAddress(section, key) || holdsLineBreak(value) ||
        !makePrivateFolder(m_files, m_folder)) {
        return false;
    }
    auto text = m_files.read(path);
    // A file that exists but cannot be read must not be replaced by one holding a single key.
    if (!text && m_files.exists(path)) {
        return false;
    }
    auto document = base::IniDocument::parse(text.value_or(""));
    document.set(section, key, encodeValue(value));
    makePrivateFile(path);
    return m_files.write(path, document.text());
}

bool XdgUserStore::remove(const std::string& application, const std::string& section,
                          const std::string& key) {
    const std::string path = fileFor(application);
    auto text = path.empty() ? std::nullopt : m_files.read(path);
    if (!text || !validAddress(section, key)) {
        return false;
    }
    auto document = base::IniDocument::parse(*text);
    return document.remove(section, key) && m_files.write(path, document.text());
}

std::string XdgUserStore::fileFor(const std::string& application) const {
    if (application.empty() || application == "." || application == ".." ||
        application.find('/') != std::string::npos || holdsLineBreak(application)) {
        return {};
    }
    const std::string name = application + ".ini";
    std::string exact = m_folder + "/" + name;
    if (!foreign(name) && m_files.exists(exact)) {
        return exact;
    }
    std::string found = foreign(name) ? std::string() : exact;
    if (DIR* dir = ::opendir(m_folder.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            if (::strcasecmp(entry->d_name, name.c_str()) == 0 && !foreign(entry->d_name)) {
                found = m_folder + "/" + entry->d_name;
                break;
            }
        }
        ::closedir(dir);
    }
    return found;
}

bool XdgUserStore::foreign(const std::string& name) const {
    return std::find(m_foreignFiles.begin(), m_foreignFiles.end(), name) != m_foreignFiles.end();
}

std::string XdgUserStore::defaultFolder() {
    return XdgFolders::configFolder();
}

}  // namespace halvern::platform
