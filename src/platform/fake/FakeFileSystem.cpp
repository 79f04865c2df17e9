#include "platform/fake/FakeFileSystem.h"

namespace halvern::platform {

namespace {

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

std::optional<std::string> FakeFileSystem::read(const std::string& path) const {
    return readLimited(path, kMaxFileBytes).content;
}

ReadResult FakeFileSystem::readLimited(const std::string& path, std::uint64_t maxBytes) const {
    auto it = m_files.find(path);
    if (it == m_files.end()) {
        // As on disk, a folder is there but is no file to read.
        return isDirectory(path) ? reported(path, notAFile())
                                 : ReadResult{std::nullopt, ReadFailure::Missing, {}};
    }
    if (m_special.contains(path)) {
        return reported(path, notAFile());
    }
    if (m_unreadable.contains(path)) {
        return reported(path, {std::nullopt, ReadFailure::Failed, "Permission denied"});
    }
    if (it->second.size() > maxBytes) {
        return reported(path, tooLarge(it->second.size(), maxBytes));
    }
    return {it->second, ReadFailure::None, {}};
}

void FakeFileSystem::putSpecial(const std::string& path) {
    m_files[path];
    m_special.insert(path);
}

bool FakeFileSystem::writable(const std::string& path) const {
    return !m_readOnly.contains(path) && !m_readOnly.contains(parentOf(path));
}

bool FakeFileSystem::canHoldFile(const std::string& path) const {
    const std::string parent = parentOf(path);
    return !isDirectory(path) && (parent.empty() || isDirectory(parent));
}

bool FakeFileSystem::write(const std::string& path, const std::string& content) {
    // As on disk: the folder must exist, and a folder cannot be overwritten by a file.
    if (!writable(path)) {
        return writeFailed("Permission denied");
    }
    if (isDirectory(path)) {
        return writeFailed("Is a directory");
    }
    if (!canHoldFile(path)) {
        const std::string parent = parentOf(path);
        return writeFailed(m_files.contains(parent) ? "Not a directory"
                                                    : "No such file or directory");
    }
    if (m_special.contains(path)) {
        return writeFailed("not a regular file");
    }
    m_files[path] = content;
    ++m_writes[path];
    return true;
}

bool FakeFileSystem::isDirectory(const std::string& path) const {
    if (m_directories.contains(path)) {
        return true;
    }
    const std::string prefix = path + "/";
    auto it = m_files.lower_bound(prefix);
    return it != m_files.end() && it->first.starts_with(prefix);
}

std::optional<std::uint64_t> FakeFileSystem::size(const std::string& path) const {
    auto it = m_files.find(path);
    if (it == m_files.end()) {
        return std::nullopt;
    }
    return it->second.size();
}

bool FakeFileSystem::copy(const std::string& from, const std::string& to) {
    auto content = read(from);
    return content && write(to, *content);
}

bool FakeFileSystem::rename(const std::string& from, const std::string& to) {
    auto it = m_files.find(from);
    if (it == m_files.end() || !writable(from) || !writable(to) || !canHoldFile(to) ||
        m_special.contains(to)) {
        return false;
    }
    if (from == to) {
        ++m_writes[to];
        return true;
    }
    if (m_special.contains(from)) {
        m_special.erase(from);
        m_special.insert(to);
    }
    std::string content = std::move(it->second);
    m_files.erase(it);
    m_files[to] = std::move(content);
    ++m_writes[to];
    return true;
}

bool FakeFileSystem::remove(const std::string& path) {
    if (!writable(path)) {
        return false;
    }
    m_special.erase(path);
    return m_files.erase(path) > 0;
}

bool FakeFileSystem::makeDirectories(const std::string& path) {
    std::string folder = path;
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    if (folder.empty()) {
        return false;
    }
    // A file anywhere on the way stops it, as mkdir does.
    for (std::string p = folder; !p.empty(); p = parentOf(p)) {
        if (m_files.contains(p)) {
            return false;
        }
    }
    for (std::string p = folder; !p.empty(); p = parentOf(p)) {
        m_directories.insert(p);
    }
    return true;
}

std::string FakeFileSystem::text(const std::string& path) const {
    auto it = m_files.find(path);
    return it == m_files.end() ? std::string() : it->second;
}

void FakeFileSystem::setReadOnly(const std::string& path, bool readOnly) {
    if (readOnly) {
        m_readOnly.insert(path);
    } else {
        m_readOnly.erase(path);
    }
}

void FakeFileSystem::setUnreadable(const std::string& path, bool unreadable) {
    if (unreadable) {
        m_unreadable.insert(path);
    } else {
        m_unreadable.erase(path);
    }
}

int FakeFileSystem::writes(const std::string& path) const {
    auto it = m_writes.find(path);
    return it == m_writes.end() ? 0 : it->second;
}

}  // namespace halvern::platform
