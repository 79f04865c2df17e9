#include "titles/TitleList.h"

#include "core/ListFiles.h"
#include "titles/TitleText.h"

namespace halvern::titles {

namespace {

/// Distinct titles remembered at most; a desktop that retitles without end cannot grow it.
constexpr std::size_t kMaxCachedTitles = 4096;

}  // namespace

TitleList::TitleList(platform::FileSystem& files, const core::AppPaths& paths, core::StatusLog& log)
    : m_files(files), m_paths(paths), m_log(log) {}

void TitleList::setPopupListArray() {
    const std::string user = m_paths.getUserTitleIniFileName();
    const std::string path = m_files.exists(user) ? user : m_paths.getZVTitleIniFileName();
    // A new vector, never edited in place: a scan that pumps events while it holds a copied
    // entry is not disturbed by a reload.
    std::vector<std::string> entries;
    const auto countText = core::ListFiles::readCountText(m_files, path);
    if (countText && !countText->empty() && !core::ListFiles::readCount(m_files, path)) {
        m_log.AddToStatus("#Title list '" + path + "': the count N='" + *countText +
                          "' is not a number; no titles read");
    } else {
        core::ListFiles::List list = core::ListFiles::read(m_files, path);
        entries.assign(list.slots.begin(), list.slots.end() - 1);
        for (const std::string& entry : entries) {
            if (!entry.empty()) {
                m_log.AddToStatus("User Defined Popup in Memory '" + entry + "'");
            }
        }
    }
    m_lowerEntries.clear();
    m_lowerEntries.reserve(entries.size());
    m_matchable.clear();
    m_matchable.reserve(entries.size());
    for (const std::string& entry : entries) {
        m_lowerEntries.push_back(lowerAscii(entry));
        m_matchable.push_back(countCharacters(entry) >= kMinEntry);
    }
    m_entries = std::move(entries);
    ++m_loads;
    m_cache.clear();
}

std::optional<std::string> TitleList::IsInPopupList(const std::string& strIn,
                                                    std::uint64_t generation) {
    if (generation != m_cacheGeneration || m_loads != m_cacheLoads ||
        m_cache.size() >= kMaxCachedTitles) {
        m_cache.clear();
        m_cacheGeneration = generation;
        m_cacheLoads = m_loads;
    }
    auto it = m_cache.find(strIn);
    if (it == m_cache.end()) {
        it = m_cache.emplace(strIn, IsInPopupList(strIn)).first;
    }
    return it->second;
}

std::optional<std::string> TitleList::IsInPopupList(const std::string& strIn) const {
    if (countCharacters(strIn) < kMinTitle) {
        return std::nullopt;
    }
    return search(lowerAscii(strIn));
}

std::optional<std::string> TitleList::search(const std::string& lowerTitle) const {
    // By index with the bound checked on every step, and the entry copied out.
    for (std::size_t i = 0;
         i < m_lowerEntries.size() && i < m_entries.size() && i < m_matchable.size(); ++i) {
        const std::string& entry = m_lowerEntries[i];
        if (m_matchable[i] && lowerTitle.find(entry) != std::string::npos) {
            return m_entries[i];
        }
    }
    return std::nullopt;
}

}  // namespace halvern::titles
