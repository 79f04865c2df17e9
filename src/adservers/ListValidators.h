#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "adservers/UpdateFetch.h"
#include "core/AppPaths.h"
#include "platform/FileSystem.h"

namespace halvern::adservers {

/// The server's validators (ETag, Last-Modified) of each downloaded list, kept in a small file
/// beside the lists together with a fingerprint of the list file they produced: they are sent
/// back only while that file is still the one they describe, so a list replaced by hand or by a
/// reinstall is downloaded whole again.
class ListValidators {
public:
    /// The file is the data folder's file of that name, found when it is first needed: the
    /// program's folders are known only once it loads.
    ListValidators(platform::FileSystem& files, const core::AppPaths& paths, std::string name);

    /// The validators to send for a server path, given the list file's current content; empty
    /// when none are kept or the file changed since.
    Validators forList(std::string_view serverPath, const std::optional<std::string>& listText);
    /// Remembers the validators of a download and the list text written from it, and saves the
    /// file in one atomic write. Validators of an answer without any are forgotten.
    void remember(std::string_view serverPath, const Validators& validators,
                  const std::string& listText);

private:
    struct Entry {
        std::string listPrint;
        Validators validators;
    };
    void load();

    std::string path() const { return m_paths.dataFile(m_name); }

    platform::FileSystem& m_files;
    const core::AppPaths& m_paths;
    std::string m_name;
    std::map<std::string, Entry, std::less<>> m_entries;
    /// The file's text as last read or written.
    std::string m_saved;
    bool m_loaded = false;
};

}  // namespace halvern::adservers
