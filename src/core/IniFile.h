#pragma once

#include <string>

#include "base/IniDocument.h"
#include "platform/FileSystem.h"

namespace halvern::core {

/// An INI file on disk: parsed once when opened, edited in memory, written whole and atomically
/// by save(). A missing file, a FIFO or device, or one larger than the settings limit opens
/// empty; one that exists but could not be read is never overwritten, since its unseen content
/// would be lost.
class IniFile {
public:
    IniFile(platform::FileSystem& files, const std::string& path);
    /// Reads path and saves to savePath: a shipped list's changes go to the user's own copy.
    IniFile(platform::FileSystem& files, const std::string& path, std::string savePath);

    /// Where save() writes.
    const std::string& path() const { return m_path; }
    base::IniDocument& document() { return m_document; }
    const base::IniDocument& document() const { return m_document; }

    /// Profile-string read: the value, or the fallback, cut to the 250-character buffer.
    std::string get(std::string_view section, std::string_view key,
                    std::string_view fallback = {}) const {
        return m_document.get(section, key, fallback);
    }
    void set(std::string_view section, std::string_view key, std::string_view value) {
        m_document.set(section, key, value);
        m_dirty = true;
    }
    /// Removes the first matching key; true when there was one.
    bool remove(std::string_view section, std::string_view key) {
        const bool removed = m_document.remove(section, key);
        m_dirty = m_dirty || removed;
        return removed;
    }
    /// Writes the file if anything changed; false when the write failed or the file exists but
    /// could not be read.
    bool save();

private:
    platform::FileSystem& m_files;
    std::string m_path;
    base::IniDocument m_document;
    bool m_dirty = false;
    bool m_unreadable = false;
};

}  // namespace halvern::core
