#include "adservers/ListValidators.h"

#include <sstream>

#include "adservers/AdServerBlocking.h"

namespace halvern::adservers {

namespace {

/// A value the file can hold on one line between tabs; anything else is not kept.
bool storable(std::string_view value) {
    return value.find_first_of("\t\r\n") == std::string_view::npos;
}

}  // namespace

ListValidators::ListValidators(platform::FileSystem& files, const core::AppPaths& paths,
                               std::string name)
    : m_files(files), m_paths(paths), m_name(std::move(name)) {}

void ListValidators::load() {
    if (m_loaded) {
        return;
    }
    m_loaded = true;
    m_saved = m_files.read(path()).value_or("");
    std::istringstream in(m_saved);
    // One line per list: server path, list fingerprint, ETag, Last-Modified, tab-separated.
    for (std::string line; std::getline(in, line);) {
        std::string fields[4];
        std::size_t pos = 0;
        for (int i = 0; i < 4; ++i) {
            const auto tab = i < 3 ? line.find('\t', pos) : std::string::npos;
            if (i < 3 && tab == std::string::npos) {
                break;
            }
            fields[i] = line.substr(pos, tab == std::string::npos ? std::string::npos : tab - pos);
            pos = tab + 1;
        }
        if (!fields[0].empty() && !fields[1].empty()) {
            m_entries[fields[0]] = Entry{fields[1], Validators{fields[2], fields[3]}};
        }
    }
}

Validators ListValidators::forList(std::string_view serverPath,
                                   const std::optional<std::string>& listText) {
    load();
    const auto it = m_entries.find(serverPath);
    if (!listText || it == m_entries.end() ||
        it->second.listPrint != AdServerBlocking::fingerprint(listText)) {
        return {};
    }
    return it->second.validators;
}

void ListValidators::remember(std::string_view serverPath, const Validators& validators,
                              const std::string& listText) {
    load();
    if (validators.empty() || !storable(validators.etag) || !storable(validators.lastModified)) {
        m_entries.erase(std::string(serverPath));
    } else {
        m_entries[std::string(serverPath)] =
            Entry{AdServerBlocking::fingerprint(listText), validators};
    }
    std::string text;
    for (const auto& [path, entry] : m_entries) {
        text += path + "\t" + entry.listPrint + "\t" + entry.validators.etag + "\t" +
                entry.validators.lastModified + "\n";
    }
    if (text != m_saved && m_files.write(path(), text)) {
        m_saved = std::move(text);
    }
}

}  // namespace halvern::adservers
