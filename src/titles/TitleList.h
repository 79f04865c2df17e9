#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/AppPaths.h"
#include "core/StatusLog.h"
#include "platform/FileSystem.h"

namespace halvern::titles {

/// The blocked-title list in memory: the entries of usertitles.ini, or of the shipped
/// zvtitles.ini until the user first saves the list, matched as case-insensitive substrings of
/// window titles, the first matching entry in file order winning.
class TitleList {
public:
    TitleList(platform::FileSystem& files, const core::AppPaths& paths, core::StatusLog& log);
    TitleList(const TitleList&) = delete;
    TitleList& operator=(const TitleList&) = delete;

    /// (Re)loads the list: usertitles.ini when it exists, else zvtitles.ini. Every entry read is
    /// logged; a count that is not a number is a "#" line and gives an empty list.
    void setPopupListArray();

    /// The entry (as stored) that the title contains, ignoring case; entries under 5 characters
    /// never match, titles under 3 characters match nothing. Results are kept per title until
    /// the list or `generation` changes.
    std::optional<std::string> IsInPopupList(const std::string& strIn, std::uint64_t generation);
    /// The same, without the cache.
    std::optional<std::string> IsInPopupList(const std::string& strIn) const;

    /// The entries in file order, "" for a gap.
    const std::vector<std::string>& entries() const { return m_entries; }
    /// Rises with every load; a reader that kept an entry's index checks it.
    std::uint64_t loads() const { return m_loads; }

    /// Titles shorter than this (in characters) match nothing.
    static constexpr std::size_t kMinTitle = 3;
    /// Entries shorter than this (in characters) never match (the editor accepts 3).
    static constexpr std::size_t kMinEntry = 5;

private:
    std::optional<std::string> search(const std::string& lowerTitle) const;

    platform::FileSystem& m_files;
    const core::AppPaths& m_paths;
    core::StatusLog& m_log;
    std::vector<std::string> m_entries;
    std::vector<std::string> m_lowerEntries;
    /// Whether each entry is long enough (in characters) to match at all.
    std::vector<bool> m_matchable;
    std::uint64_t m_loads = 0;
    std::unordered_map<std::string, std::optional<std::string>> m_cache;
    std::uint64_t m_cacheGeneration = 0;
    std::uint64_t m_cacheLoads = 0;
};

}  // namespace halvern::titles
