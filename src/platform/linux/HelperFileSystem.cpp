#include "platform/linux/HelperFileSystem.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace halvern::platform {

HelperFileSystem::HelperFileSystem(FileSystem& files, HelperConnection& helper,
                                   std::vector<std::string> privilegedPaths)
    : m_files(files), m_helper(helper), m_privileged(std::move(privilegedPaths)) {
    // The wrapped file system's refusals are this one's: the program listens here.
    m_files.onReadRefused = [this](const std::string& path, const ReadResult& result) {
        if (onReadRefused) {
            onReadRefused(path, result);
        }
    };
}

bool HelperFileSystem::isPrivileged(const std::string& path) const {
    return std::find(m_privileged.begin(), m_privileged.end(), path) != m_privileged.end();
}

std::optional<std::string> HelperFileSystem::read(const std::string& path) const {
    return m_files.read(path);
}

ReadResult HelperFileSystem::readLimited(const std::string& path, std::uint64_t maxBytes) const {
    return m_files.readLimited(path, maxBytes);
}

bool HelperFileSystem::write(const std::string& path, const std::string& content) {
    if (!isPrivileged(path)) {
        return direct(m_files.write(path, content));
    }
    std::string error;
    const bool ok = m_helper.writeFile(path, content, error);
    return helped(ok, std::move(error));
}

bool HelperFileSystem::exists(const std::string& path) const {
    return m_files.exists(path);
}

bool HelperFileSystem::isDirectory(const std::string& path) const {
    return m_files.isDirectory(path);
}

std::optional<std::uint64_t> HelperFileSystem::size(const std::string& path) const {
    return m_files.size(path);
}

bool HelperFileSystem::copy(const std::string& from, const std::string& to) {
    if (!isPrivileged(to)) {
        return m_files.copy(from, to);
    }
    std::string error;
    const bool ok = m_helper.copyFile(from, to, error);
    return helped(ok, std::move(error));
}

bool HelperFileSystem::rename(const std::string& from, const std::string& to) {
    // Renaming one of the helper's files away takes it from the folder only root may change.
    if (!isPrivileged(from) && !isPrivileged(to)) {
        return m_files.rename(from, to);
    }
    std::string error;
    const bool ok = m_helper.renameFile(from, to, error);
    return helped(ok, std::move(error));
}

bool HelperFileSystem::remove(const std::string& path) {
    if (!isPrivileged(path)) {
        return m_files.remove(path);
    }
    std::string error;
    const bool ok = m_helper.removeFile(path, error);
    return helped(ok, std::move(error));
}

bool HelperFileSystem::makeDirectories(const std::string& path) {
    return m_files.makeDirectories(path);
}

void HelperFileSystem::recover(const std::string& path) {
    if (!isPrivileged(path)) {
        m_files.recover(path);
        return;
    }
    std::string error;
    if (!m_helper.recover(path, error)) {
        // The start goes on, as after a direct recovery that found nothing to do: the helper
        // finishes its own pending rewrites when it starts.
        std::fprintf(stderr, "zorvik: zorvik-helper could not recover %s: %s\n", path.c_str(),
                     error.c_str());
    }
}

bool HelperFileSystem::direct(bool ok) {
    return ok || writeFailed(m_files.writeError());
}

bool HelperFileSystem::helped(bool ok, std::string error) {
    return ok || writeFailed(error.empty() ? "zorvik-helper refused the change" : std::move(error));
}

}  // namespace halvern::platform
