#include "platform/linux/FileRegistry.h"

#include <utility>

#include "platform/linux/RegistryFileFormat.h"

namespace halvern::platform {

namespace {

std::string rootName(RegistryRoot root) {
    if (root == HKEY_CURRENT_USER) {
        return "HKEY_CURRENT_USER";
    }
    return root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "";
}

}  // namespace

FileRegistry::FileRegistry(FileSystem& files, std::string folder)
    : m_files(files), m_folder(std::move(folder)) {
    for (const RegistryRoot root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        m_files.recover(fileOf(root));
    }
}

std::string FileRegistry::fileOf(RegistryRoot root) const {
    const std::string name = rootName(root);
    return name.empty() ? name : m_folder + "/" + name + ".registry";
}

std::optional<RegistryTree> FileRegistry::load(RegistryRoot root, const std::string& key,
                                               std::string& why) const {
    const std::string path = fileOf(root);
    if (path.empty()) {
        why = "there is no root key " + std::to_string(root);
        return std::nullopt;
    }
    if (!RegistryTree::validPath(key)) {
        why = "the key path '" + key + "' has an empty part";
        return std::nullopt;
    }
    const ReadResult read = m_files.readLimited(path, FileSystem::kMaxSettingsBytes);
    if (read.failure == ReadFailure::Missing) {
        return RegistryTree();
    }
    if (!read.content) {
        why = path + " could not be read (" + read.error + ") and was left as it is";
        return std::nullopt;
    }
    std::string error;
    auto tree = RegistryFileFormat::parse(*read.content, error);
    if (!tree) {
        why = path + " is not a registry file (" + error + ") and was left as it is";
    }
    return tree;
}

std::optional<RegistryTree> FileRegistry::loadForChange(RegistryRoot root, const std::string& key) {
    std::string why;
    auto tree = load(root, key, why);
    if (!tree) {
        failed(why);
    }
    return tree;
}

bool FileRegistry::save(RegistryRoot root, const RegistryTree& tree) {
    if (!m_files.isDirectory(m_folder) && !m_files.makeDirectories(m_folder)) {
        return failed("the folder " + m_folder + " could not be made");
    }
    const std::string text = RegistryFileFormat::format(
        tree, rootName(root) + ", kept by Zorvik for its own options: nothing else reads it.");
    if (!m_files.write(fileOf(root), text)) {
        return failed(fileOf(root) + " could not be written (" + m_files.writeError() + ")");
    }
    return true;
}

bool FileRegistry::keyExists(RegistryRoot root, const std::string& key) const {
    std::string why;
    const auto tree = load(root, key, why);
    return tree && tree->keyExists(key);
}

std::optional<RegistryValue> FileRegistry::value(RegistryRoot root, const std::string& key,
                                                 const std::string& name) const {
    std::string why;
    const auto tree = load(root, key, why);
    const RegistryValue* found = tree ? tree->value(key, name) : nullptr;
    return found ? std::optional<RegistryValue>(*found) : std::nullopt;
}

bool FileRegistry::createKey(RegistryRoot root, const std::string& key) {
    auto tree = loadForChange(root, key);
    if (!tree) {
        return false;
    }
    if (tree->keyExists(key)) {
        return true;
    }
    tree->createKey(key);
    return save(root, *tree);
}

bool FileRegistry::setValue(RegistryRoot root, const std::string& key, const std::string& name,
                            const RegistryValue& value) {
    auto tree = loadForChange(root, key);
    if (!tree) {
        return false;
    }
    tree->setValue(key, name, value);
    return save(root, *tree);
}

RegistryRemoval FileRegistry::removeValue(RegistryRoot root, const std::string& key,
                                          const std::string& name) {
    auto tree = loadForChange(root, key);
    if (!tree) {
        return RegistryRemoval::Failed;
    }
    if (tree->removeValue(key, name) == RegistryRemoval::Missing) {
        return RegistryRemoval::Missing;
    }
    return save(root, *tree) ? RegistryRemoval::Removed : RegistryRemoval::Failed;
}

RegistryRemoval FileRegistry::removeKey(RegistryRoot root, const std::string& key) {
    auto tree = loadForChange(root, key);
    if (!tree) {
        return RegistryRemoval::Failed;
    }
    if (key.empty()) {
        failed("the root key cannot be deleted");
        return RegistryRemoval::Failed;
    }
    if (tree->removeKey(key) == RegistryRemoval::Missing) {
        return RegistryRemoval::Missing;
    }
    return save(root, *tree) ? RegistryRemoval::Removed : RegistryRemoval::Failed;
}

}  // namespace halvern::platform
