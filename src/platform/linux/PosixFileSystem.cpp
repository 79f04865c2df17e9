#include "platform/linux/PosixFileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>

namespace halvern::platform {

namespace {

/// Closes a descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd;
};

bool writeAllAt(int fd, std::string_view data, off_t offset) {
    while (!data.empty()) {
        ssize_t n = ::pwrite(fd, data.data(), data.size(), offset);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
        offset += n;
    }
    return true;
}

std::optional<std::string> readAllAt(int fd) {
    std::string text;
    char buffer[65536];
    off_t offset = 0;
    for (;;) {
        ssize_t n = ::pread(fd, buffer, sizeof buffer, offset);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(n));
        offset += n;
    }
}

std::string folderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void syncFolder(const std::string& folder) {
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) {
        ::fsync(dir.get());
    }
}

// Writing through a symbolic link must change the file it points to, not replace the link.
std::string resolveLink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return path;
    }
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

// Fills the temporary file and gives it the old file's owner and mode before it replaces it.
bool fillTemporary(int fd, const std::string& content, const struct stat* old) {
    if (!writeAllAt(fd, content, 0)) {
        return false;
    }
    // fchown clears set-id bits, so the mode is set after it. Only root may give files away.
    if (old && ::fchown(fd, old->st_uid, old->st_gid) != 0 && errno != EPERM) {
        return false;
    }
    if (::fchmod(fd, old ? (old->st_mode & 07777) : 0644) != 0) {
        return false;
    }
    return ::fsync(fd) == 0;
}

// The target is a mount point: only its content can change. The temporary copy proves the
// content can be stored; if writing the target still fails, the old content is put back.
bool rewriteInPlace(const std::string& target, int temporary, const std::string& content) {
    auto written = readAllAt(temporary);
    if (!written || *written != content) {
        return false;
    }
    Fd fd(::open(target.c_str(), O_RDWR | O_CLOEXEC));
    if (!fd.valid()) {
        return false;
    }
    auto old = readAllAt(fd.get());
    if (!old) {
        return false;
    }
    auto store = [&](const std::string& text) {
        return writeAllAt(fd.get(), text, 0) &&
               ::ftruncate(fd.get(), static_cast<off_t>(text.size())) == 0 &&
               ::fsync(fd.get()) == 0;
    };
    if (store(content)) {
        return true;
    }
    store(*old);
    return false;
}

}  // namespace

std::optional<std::string> PosixFileSystem::read(const std::string& path) const {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        return std::nullopt;
    }
    return readAllAt(fd.get());
}

bool PosixFileSystem::write(const std::string& path, const std::string& content) {
    const std::string target = resolveLink(path);
    struct stat old {};
    bool hadOld = ::stat(target.c_str(), &old) == 0;
    if (hadOld && !S_ISREG(old.st_mode)) {
        return false;
    }
    const std::string folder = folderOf(target);
    std::string temporary = folder + "/." + nameOf(target) + ".XXXXXX";
    Fd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.valid()) {
        return false;
    }
    bool ok = fillTemporary(fd.get(), content, hadOld ? &old : nullptr);
    if (ok && ::rename(temporary.c_str(), target.c_str()) == 0) {
        syncFolder(folder);
        return true;
    }
    // Containers bind-mount files such as /etc/hosts; rename onto a mount point is refused.
    if (ok && hadOld && (errno == EBUSY || errno == EXDEV)) {
        ok = rewriteInPlace(target, fd.get(), content);
    } else {
        ok = false;
    }
    ::unlink(temporary.c_str());
    return ok;
}

bool PosixFileSystem::exists(const std::string& path) const {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool PosixFileSystem::isDirectory(const std::string& path) const {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::uint64_t> PosixFileSystem::size(const std::string& path) const {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

bool PosixFileSystem::copy(const std::string& from, const std::string& to) {
    auto content = read(from);
    return content && write(to, *content);
}

bool PosixFileSystem::rename(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) == 0) {
        syncFolder(folderOf(to));
        return true;
    }
    if (errno != EXDEV && errno != EBUSY) {
        return false;
    }
    return copy(from, to) && remove(from);
}

bool PosixFileSystem::remove(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool PosixFileSystem::makeDirectories(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        std::string part = path.substr(0, end);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            return false;
        }
        if (end == std::string::npos) {
            break;
        }
    }
    return isDirectory(path);
}

}  // namespace halvern::platform
