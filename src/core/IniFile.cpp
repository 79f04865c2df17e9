#include "core/IniFile.h"

namespace halvern::core {

IniFile::IniFile(platform::FileSystem& files, const std::string& path)
    : IniFile(files, path, path) {}

IniFile::IniFile(platform::FileSystem& files, const std::string& path, std::string savePath)
    : m_files(files), m_path(std::move(savePath)) {
    auto read = m_files.readLimited(path, platform::FileSystem::kMaxSettingsBytes);
    if (read.content) {
        m_document = base::IniDocument::parseOwned(std::move(*read.content));
    } else {
        // A FIFO, a device or a file far beyond any real size holds no settings: it reads as
        // missing. Content that could not be read at all is never written over.
        m_unreadable = read.failure == platform::ReadFailure::Failed;
    }
}

bool IniFile::save() {
    if (!m_dirty) {
        return true;
    }
    if (m_unreadable || !m_files.write(m_path, m_document.text())) {
        return false;
    }
    m_dirty = false;
    return true;
}

}  // namespace halvern::core
