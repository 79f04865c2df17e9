#include "platform/linux/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
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

/// Reads from the start of the descriptor; nothing when the file turns out larger than the limit
/// or a read fails (errno tells which: EFBIG for the limit).
std::optional<std::string> readAllAt(int fd, std::uint64_t limit, std::size_t expected = 0) {
    std::string text;
    text.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(expected, limit)));
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
        // The file may have grown since it was measured.
        if (text.size() + static_cast<std::uint64_t>(n) > limit) {
            errno = EFBIG;
            return std::nullopt;
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

// Our temporaries are ".<name>.zorvik-XXXXXX" (mkstemp fills in the X) and the journal of an
// in-place rewrite is ".<name>.zorvik-journal", each beside the file it is for.
constexpr std::string_view kTemporaryMark = ".zorvik-";
constexpr std::string_view kJournalSuffix = ".zorvik-journal";
constexpr std::size_t kTemporaryLetters = 6;

std::string temporaryPattern(const std::string& target) {
    return folderOf(target) + "/." + nameOf(target) + std::string(kTemporaryMark) + "XXXXXX";
}

std::string journalOf(const std::string& target) {
    return folderOf(target) + "/." + nameOf(target) + std::string(kJournalSuffix);
}

bool isOurTemporaryName(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix) ||
        name.size() < prefix.size() + kTemporaryMark.size() + kTemporaryLetters) {
        return false;
    }
    const std::string_view letters = name.substr(name.size() - kTemporaryLetters);
    const std::string_view mark =
        name.substr(name.size() - kTemporaryLetters - kTemporaryMark.size(), kTemporaryMark.size());
    return mark == kTemporaryMark && std::all_of(letters.begin(), letters.end(), [](char c) {
               return std::isalnum(static_cast<unsigned char>(c)) != 0;
           });
}

// Deletes the regular files of the folder named ".<file>…zorvik-XXXXXX": what a killed write of
// the file, or of a copy named after it (hostszvb beside hosts), left behind.
void sweepTemporaries(const std::string& folder, const std::string& file) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        return;
    }
    const std::string prefix = "." + file;
    bool removed = false;
    while (dirent* entry = ::readdir(dir)) {
        struct stat st {};
        if (isOurTemporaryName(entry->d_name, prefix) &&
            ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && ::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) {
            removed = true;
        }
    }
    if (removed) {
        ::fsync(::dirfd(dir));
    }
    ::closedir(dir);
}

}  // namespace

ReadResult PosixFileSystem::readLimited(const std::string& path, std::uint64_t maxBytes) const {
    // Without O_NONBLOCK, opening a FIFO waits for a writer for ever.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.valid()) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return {std::nullopt, ReadFailure::Missing, {}};
        }
        return reported(path, {std::nullopt, ReadFailure::Failed, std::strerror(errno)});
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        return reported(path, {std::nullopt, ReadFailure::Failed, std::strerror(errno)});
    }
    // A device such as /dev/zero never ends, and a FIFO or a socket holds no file's content.
    if (!S_ISREG(st.st_mode)) {
        return reported(path, notAFile());
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size > maxBytes) {
        return reported(path, tooLarge(size, maxBytes));
    }
    auto text = readAllAt(fd.get(), maxBytes, static_cast<std::size_t>(size));
    if (!text) {
        const bool grew = errno == EFBIG;
        return reported(path,
                        {std::nullopt, grew ? ReadFailure::TooLarge : ReadFailure::Failed,
                         grew ? "grew over the limit of " + std::to_string(maxBytes) + " bytes"
                              : std::string(std::strerror(errno))});
    }
    return {std::move(text), ReadFailure::None, {}};
}

std::optional<std::string> PosixFileSystem::read(const std::string& path) const {
    return readLimited(path, kMaxFileBytes).content;
}

bool PosixFileSystem::write(const std::string& path, const std::string& content) {
    const std::string target = resolveLink(path);
    struct stat old {};
    bool hadOld = ::stat(target.c_str(), &old) == 0;
    if (hadOld && !S_ISREG(old.st_mode)) {
        return writeFailed(S_ISDIR(old.st_mode) ? std::strerror(EISDIR) : "not a regular file");
    }
    const std::string folder = folderOf(target);
    std::string temporary = temporaryPattern(target);
    Fd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.valid()) {
        return writeFailed(std::strerror(errno));
    }
    bool ok = fillTemporary(fd.get(), content, hadOld ? &old : nullptr);
    int error = errno;
    if (ok) {
        step(Step::TemporaryWritten);
    }
    if (ok && ::rename(temporary.c_str(), target.c_str()) == 0) {
        // A journal left by an older in-place rewrite must never bring its content back.
        ::unlink(journalOf(target).c_str());
        syncFolder(folder);
        return true;
    }
    if (ok) {
        error = errno;
    }
    // Containers bind-mount files such as /etc/hosts; rename onto a mount point is refused.
    if (ok && hadOld && (error == EBUSY || error == EXDEV)) {
        ok = rewriteInPlace(target, fd.get(), temporary, content);
        error = errno;
    } else {
        ok = false;
    }
    ::unlink(temporary.c_str());
    return ok || writeFailed(error != 0 ? std::strerror(error) : "the write failed");
}

// The target is a mount point: only its content can change, and a crash in the middle would
// leave it torn. So the temporary, read back complete, first becomes the target's journal, from
// which recover() finishes the rewrite after a crash.
bool PosixFileSystem::rewriteInPlace(const std::string& target, int temporary,
                                     const std::string& temporaryPath, const std::string& content) {
    auto written = readAllAt(temporary, kMaxFileBytes, content.size());
    if (!written || *written != content) {
        return false;
    }
    Fd fd(::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    auto old = readAllAt(fd.get(), kMaxFileBytes, static_cast<std::size_t>(st.st_size));
    const std::string journal = journalOf(target);
    if (!old || ::rename(temporaryPath.c_str(), journal.c_str()) != 0) {
        return false;
    }
    syncFolder(folderOf(target));
    step(Step::JournalWritten);
    const bool ok = storeInPlace(fd.get(), content);
    // When not even the old content goes back, the journal stays for recover() to finish.
    if (ok || storeInPlace(fd.get(), *old)) {
        step(Step::InPlaceDone);
        ::unlink(journal.c_str());
        syncFolder(folderOf(target));
    }
    return ok;
}

bool PosixFileSystem::storeInPlace(int fd, const std::string& text) const {
    if (!writeAllAt(fd, text, 0)) {
        return false;
    }
    step(Step::InPlaceWritten);
    return ::ftruncate(fd, static_cast<off_t>(text.size())) == 0 && ::fsync(fd) == 0;
}

void PosixFileSystem::recover(const std::string& path) {
    const std::string target = resolveLink(path);
    const std::string journal = journalOf(target);
    struct stat st {};
    // A journal is complete once it has its name: the rewrite it holds is carried out again.
    if (::lstat(journal.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        if (auto pending = readLimited(journal, kMaxFileBytes).content) {
            write(target, *pending);
        }
    }
    sweepTemporaries(folderOf(target), nameOf(target));
    if (folderOf(path) != folderOf(target) || nameOf(path) != nameOf(target)) {
        sweepTemporaries(folderOf(path), nameOf(path));
    }
}

void PosixFileSystem::step(Step reached) const {
    if (afterStep) {
        afterStep(reached);
    }
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
    auto content = readLimited(from, kMaxFileBytes).content;
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
