#include "core/IniFile.h"

namespace halvern::core {

IniFile::IniFile(platform::FileSystem& files, std::string path)
    : m_files(files), m_path(std::move(path)) {
    auto text = m_files.read(m_path);
    if (text) {
        m_document = base::IniDocument::parse(*text);
    } else {
        m_unreadable = m_files.exists(m_path);
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
