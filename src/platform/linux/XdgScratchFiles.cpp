#include "platform/linux/XdgScratchFiles.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace halvern::platform {

namespace {

/// A descriptor closed when it goes.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd;
};

bool absolute(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

/// Makes the folder and its missing parents, each new one 0700.
bool makeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
    }
}

bool writeAll(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

/// The private folder, opened: a real folder (lstat, then opened without following a link)
/// owned by this user and closed to everyone else; -1 otherwise.
int openPrivateFolder(const std::string& folder) {
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
        (st.st_mode & 077) != 0) {
        return -1;
    }
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    // The folder opened must be the one checked, not one swapped in since.
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || opened.st_dev != st.st_dev || opened.st_ino != st.st_ino) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

XdgScratchFiles::XdgScratchFiles(std::string runtimeFolder, std::string cacheFolder)
    : m_runtime(std::move(runtimeFolder)), m_cache(std::move(cacheFolder)) {}

ScratchFiles::Result XdgScratchFiles::write(const std::string& name, const std::string& content) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        return {};
    }
    Result first;
    for (const std::string& base : {m_runtime, m_cache}) {
        Result result = writeIn(base, name, content);
        if (result.written) {
            return result;
        }
        if (first.path.empty()) {
            first = result;
        }
    }
    return first;
}

ScratchFiles::Result XdgScratchFiles::writeIn(const std::string& base, const std::string& name,
                                              const std::string& content) {
    if (!absolute(base)) {
        return {};
    }
    const std::string folder = base + "/halvern";
    // A missing folder is made 0700; an existing one is taken only as it is checked below.
    if (!makeFolders(base) || (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)) {
        return {};
    }
    const Fd dir(openPrivateFolder(folder));
    if (!dir.valid()) {
        return {};
    }
    Result result{folder + "/" + name, false};
    // The older export goes first: a failed write below must not leave it to be shown as new.
    if (::unlinkat(dir.get(), name.c_str(), 0) != 0 && errno != ENOENT) {
        return result;
    }
    const Fd file(::openat(dir.get(), name.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file.valid()) {
        return result;
    }
    result.written = writeAll(file.get(), content) && ::fsync(file.get()) == 0;
    if (!result.written) {
        ::unlinkat(dir.get(), name.c_str(), 0);
    }
    return result;
}

std::string XdgScratchFiles::defaultRuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && absolute(runtime) ? std::string(runtime) : std::string();
}

std::string XdgScratchFiles::defaultCacheFolder() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && absolute(cache)) {
        return cache;
    }
    const char* home = std::getenv("HOME");
    std::string base = home && absolute(home) ? home : "";
    if (base.empty()) {
        if (const passwd* user = ::getpwuid(::getuid())) {
            base = user->pw_dir;
        }
    }
    return absolute(base) ? base + "/.cache" : std::string();
}

}  // namespace halvern::platform
