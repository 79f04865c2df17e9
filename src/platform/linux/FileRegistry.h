#pragma once

#include <optional>
#include <string>

#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/RegistryTree.h"

namespace halvern::platform {

/// The registry as one text file per root in the user's configuration folder:
/// "HKEY_CURRENT_USER.registry" and "HKEY_LOCAL_MACHINE.registry" (RegistryFileFormat). Both
/// roots belong to the user; nothing outside the program reads them. Each call reads the file
/// afresh; each change rewrites it whole through the file system's atomic write, so a crash
/// leaves the old or the new file. A file that cannot be read, or is not a registry file, is
/// never overwritten: reads find nothing in it and changes fail, saying why.
class FileRegistry final : public Registry {
public:
    /// Files go through files into folder, which is created on the first change. Finishes or
    /// drops any write a crash cut short.
    FileRegistry(FileSystem& files, std::string folder);

    bool keyExists(RegistryRoot root, const std::string& key) const override;
    std::optional<RegistryValue> value(RegistryRoot root, const std::string& key,
                                       const std::string& name) const override;
    bool createKey(RegistryRoot root, const std::string& key) override;
    bool setValue(RegistryRoot root, const std::string& key, const std::string& name,
                  const RegistryValue& value) override;
    RegistryRemoval removeValue(RegistryRoot root, const std::string& key,
                                const std::string& name) override;
    RegistryRemoval removeKey(RegistryRoot root, const std::string& key) override;

    /// The file of a root, or "" for a root the registry does not have.
    std::string fileOf(RegistryRoot root) const;

private:
    /// The root's file read into a tree; nothing, and `why` filled, when it cannot be.
    std::optional<RegistryTree> load(RegistryRoot root, const std::string& key,
                                     std::string& why) const;
    /// The root's tree for a change, or nothing after failed() said why.
    std::optional<RegistryTree> loadForChange(RegistryRoot root, const std::string& key);
    /// Writes the tree over the root's file; false after failed() said why.
    bool save(RegistryRoot root, const RegistryTree& tree);

    FileSystem& m_files;
    std::string m_folder;
};

}  // namespace halvern::platform
