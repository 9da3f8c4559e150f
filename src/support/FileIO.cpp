#include "support/FileIO.hpp"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include "support/TablorError.hpp"

namespace tablor {
namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SizeText(std::size_t bytes) {
    constexpr std::size_t mebibyte = std::size_t{1} << 20;
    if (bytes % mebibyte == 0) return std::to_string(bytes / mebibyte) + " MiB";
    return std::to_string(bytes) + " bytes";
}

TablorError TooLarge(const std::string& path, std::size_t limit) {
    return TablorError(errors::PathFileAccessError, "Path/File access error (" + path + " is larger than " +
                                                        SizeText(limit) +
                                                        ", more than any schema or template holds)");
}

}  // namespace

std::string ReadFileBytes(const std::string& path, std::size_t limit) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) throw errors::FileError(errno, path);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) throw errors::FileError(errno, path);
    if (S_ISDIR(info.st_mode)) throw errors::FileError(EISDIR, path);
    if (S_ISREG(info.st_mode) && static_cast<std::uintmax_t>(info.st_size) > limit)
        throw TooLarge(path, limit);

    std::string bytes;
    if (info.st_size > 0) bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            throw errors::FileError(errno, path);
        }
        // Devices such as /dev/zero never end and report no size: the limit ends them.
        if (static_cast<std::size_t>(got) > limit - bytes.size()) throw TooLarge(path, limit);
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat first {
    }, second{};
    if (::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

WriteStrategy ChooseWriteStrategy(const WriteTarget& target, uid_t user) {
    if (!target.exists) return WriteStrategy::Replace;
    if (S_ISCHR(target.mode) || S_ISBLK(target.mode)) return WriteStrategy::Device;
    if (S_ISFIFO(target.mode) && target.stream) return WriteStrategy::Device;
    if (!S_ISREG(target.mode)) return WriteStrategy::Refuse;
    // A rename would give the file a new owner, cut its other names off, and is impossible
    // in a folder the user may not write to: only a file that loses nothing is replaced.
    if (target.folderWritable && target.links == 1 && target.owner == user) return WriteStrategy::Replace;
    return target.folderWritable ? WriteStrategy::InPlaceWithBackup : WriteStrategy::InPlaceFromMemory;
}

namespace {

// The write under way, for signal handlers: fixed buffers, published through one atomic.
enum PendingKind : int { kNothing = 0, kFilling = -1, kRemoveTemporary = 1, kRestoreTarget = 2 };
std::atomic<int> pendingKind{kNothing};
char pendingTemporary[PATH_MAX];  // the temporary file, or the backup beside a target written in place
char pendingTarget[PATH_MAX];
const char* pendingOldData = nullptr;
std::size_t pendingOldSize = 0;
static_assert(std::atomic<int>::is_always_lock_free);

// Holds the interrupting signals back while a temporary file exists but is not yet published.
class InterruptsHeld {
  public:
    InterruptsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, signal);
        pthread_sigmask(SIG_BLOCK, &held, &saved_);
    }
    ~InterruptsHeld() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

  private:
    sigset_t saved_;
};

bool CopyPath(char* into, const std::string& path) {
    if (path.size() >= PATH_MAX) return false;
    std::memcpy(into, path.c_str(), path.size() + 1);
    return true;
}

// Publishes one write to the signal handlers; a second write at the same time goes unpublished.
// Callers hold the interrupts while a file exists that is not yet published.
class PendingWrite {
  public:
    PendingWrite() = default;
    ~PendingWrite() {
        if (owned_) pendingKind.store(kNothing);
    }
    PendingWrite(const PendingWrite&) = delete;
    PendingWrite& operator=(const PendingWrite&) = delete;

    void Publish(PendingKind kind, const std::string& temporary, const std::string& target = {},
                 std::string_view old = {}) {
        int expected = kNothing;
        if (owned_)
            pendingKind.store(kFilling);
        else if (!pendingKind.compare_exchange_strong(expected, kFilling))
            return;
        owned_ = true;
        if (!CopyPath(pendingTemporary, temporary) || !CopyPath(pendingTarget, target)) {
            pendingKind.store(kNothing);
            owned_ = false;
            return;
        }
        pendingOldData = old.data();
        pendingOldSize = old.size();
        pendingKind.store(kind);
    }

  private:
    bool owned_ = false;
};

bool WriteAllRaw(int fd, const char* data, std::size_t left) noexcept {
    while (left > 0) {
        const ssize_t put = ::write(fd, data, left);
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += put;
        left -= static_cast<std::size_t>(put);
    }
    return true;
}

void WriteAll(int fd, std::string_view content, const std::function<TablorError(int)>& fail) {
    if (!WriteAllRaw(fd, content.data(), content.size())) throw fail(errno);
}

TablorError NotAFile(const std::string& path, const char* what) {
    return TablorError(errors::PathFileAccessError, "Path/File access error (" + path + " is " + what +
                                                        ", not a file: reports and snapshots are written "
                                                        "to files or devices)");
}

TablorError RefusedLink(const std::string& path, const std::string& link) {
    return TablorError(errors::PermissionDenied,
                       "Permission denied (" + path + ": the symbolic link " + link +
                           " belongs to another user and sits in a shared folder, so it is not followed)");
}

// The path a write goes to, with every symbolic link followed one at a time. A link that the
// kernel's protected_symlinks rule would refuse is refused whether the rule is on or not: in a
// sticky world-writable folder, only links of the user or of the folder's owner are followed.
struct ResolvedTarget {
    std::string path;
    bool stream = false;
    std::size_t found = 0;  // how much of `path` exists; the folders after it are still to be made
};

ResolvedTarget ResolveTarget(const std::string& requested) {
    std::string resolved;  // no trailing slash: "" is the root
    if (requested[0] != '/') {
        char* cwd = ::getcwd(nullptr, 0);
        if (cwd == nullptr) throw errors::FileError(errno, requested);
        resolved = cwd;
        std::free(cwd);
        if (resolved == "/") resolved.clear();
    }
    std::vector<std::string> rest;  // the components still to walk, last one first
    const auto push = [&rest](const std::string& text) {
        std::size_t end = text.size();
        while (end > 0) {
            const auto slash = text.rfind('/', end - 1);
            const std::size_t begin = slash == std::string::npos ? 0 : slash + 1;
            if (end > begin) rest.push_back(text.substr(begin, end - begin));
            if (slash == std::string::npos) break;
            end = slash;
        }
    };
    push(requested);
    int links = 0;
    bool missing = false;
    std::size_t found = 0;
    while (!rest.empty()) {
        const std::string part = std::move(rest.back());
        rest.pop_back();
        if (part == ".") continue;
        if (part == ".." && !missing) {
            resolved.erase(std::min(resolved.size(), resolved.rfind('/')));
            continue;
        }
        const std::string candidate = std::string(resolved).append("/").append(part);
        struct stat info {};
        if (!missing && ::lstat(candidate.c_str(), &info) != 0) {
            missing = true;
            found = resolved.size();
        }
        if (missing || !S_ISLNK(info.st_mode)) {
            // A missing folder is left for the write to report, under the name it was given.
            resolved = candidate;
            continue;
        }
        struct stat folder {};
        const std::string folderPath = resolved.empty() ? "/" : resolved;
        if (::stat(folderPath.c_str(), &folder) != 0) throw errors::FileError(errno, requested);
        const bool shared = (folder.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH);
        if (shared && info.st_uid != ::geteuid() && info.st_uid != folder.st_uid)
            throw RefusedLink(requested, candidate);
        if (++links > 40) throw errors::FileError(ELOOP, requested);
        std::vector<char> text(PATH_MAX + 1);
        const ssize_t length = ::readlink(candidate.c_str(), text.data(), PATH_MAX);
        if (length < 0) throw errors::FileError(errno, requested);
        const std::string target(text.data(), static_cast<std::size_t>(length));
        // A descriptor link such as /dev/stdout names a pipe or socket with no path of its own.
        if (target[0] != '/' && target.find(":[") != std::string::npos) {
            if (!rest.empty()) throw errors::FileError(ENOTDIR, requested);
            return {candidate, true, candidate.size()};
        }
        if (target[0] == '/') resolved.clear();
        push(target);
    }
    if (resolved.empty()) return {"/", false, 1};
    return {resolved, false, missing ? found : resolved.size()};
}

mode_t DefaultFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

void ReplaceByRename(const std::string& requested, const std::string& path, const struct stat* existing,
                     std::string_view content) {
    // Set-user-ID, set-group-ID and sticky bits never pass to a file Tablor writes.
    const mode_t mode = existing != nullptr ? (existing->st_mode & 0777) : DefaultFileMode();
    std::string temp = FolderOf(path) + "/." + NameOf(path) + ".XXXXXX";
    std::optional<InterruptsHeld> held(std::in_place);
    FileDescriptor fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0) throw errors::FileError(errno, requested, errors::FileAction::Create);
    PendingWrite pending;
    pending.Publish(kRemoveTemporary, temp);
    held.reset();

    const auto fail = [&](int err) {
        ::unlink(temp.c_str());
        return errors::FileError(err, requested, errors::FileAction::Create);
    };
    WriteAll(fd.get(), content, fail);
    // The group is kept when the user may give it; otherwise the folder's default stands.
    if (existing != nullptr) (void)::fchown(fd.get(), static_cast<uid_t>(-1), existing->st_gid);
    if (::fchmod(fd.get(), mode) != 0) throw fail(errno);
    if (::fsync(fd.get()) != 0) throw fail(errno);
    if (::close(fd.release()) != 0) throw fail(errno);
    if (::rename(temp.c_str(), path.c_str()) != 0) throw fail(errno);
}

// Opens an existing target for writing without blocking on a pipe nobody reads, and checks it is
// still what was decided on.
int OpenExisting(const std::string& requested, const std::string& path, bool followLink,
                 const struct stat& expected) {
    const int flags = O_WRONLY | O_NONBLOCK | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    FileDescriptor fd(::open(path.c_str(), flags));
    if (fd.get() < 0) {
        if (errno == ENXIO) throw NotAFile(requested, "a pipe nobody reads");
        throw errors::FileError(errno, requested);
    }
    struct stat now {};
    if (::fstat(fd.get(), &now) != 0) throw errors::FileError(errno, requested);
    if ((now.st_mode & S_IFMT) != (expected.st_mode & S_IFMT) || now.st_ino != expected.st_ino ||
        now.st_dev != expected.st_dev)
        throw errors::FileError(EAGAIN, requested);
    const int status = ::fcntl(fd.get(), F_GETFL);
    if (status < 0 || ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) != 0)
        throw errors::FileError(errno, requested);
    return fd.release();
}

void WriteStream(const std::string& requested, const ResolvedTarget& target, const struct stat& existing,
                 std::string_view content) {
    FileDescriptor fd(OpenExisting(requested, target.path, target.stream, existing));
    WriteAll(fd.get(), content, [&](int err) { return errors::FileError(err, requested); });
    if (::close(fd.release()) != 0) throw errors::FileError(errno, requested);
}

// Writes over the file itself, so that its owner, its other names and its folder's permissions
// do not matter; the old content is kept first and written back if the write fails.
void WriteInPlace(const std::string& requested, const std::string& path, const struct stat& existing,
                  bool withBackup, std::string_view content) {
    const std::string old = ReadFileBytes(path);
    std::string backup;
    PendingWrite pending;
    if (withBackup) {
        backup = path + ".backup-XXXXXX";
        std::optional<InterruptsHeld> held(std::in_place);
        FileDescriptor copy(::mkostemp(backup.data(), O_CLOEXEC));
        if (copy.get() < 0) throw errors::FileError(errno, requested, errors::FileAction::Create);
        pending.Publish(kRemoveTemporary, backup);
        held.reset();
        const auto fail = [&](int err) {
            ::unlink(backup.c_str());
            return errors::FileError(err, requested);
        };
        WriteAll(copy.get(), old, fail);
        if (::fsync(copy.get()) != 0) throw fail(errno);
        if (::close(copy.release()) != 0) throw fail(errno);
    }
    {
        InterruptsHeld held;
        pending.Publish(kRestoreTarget, backup, path, old);
    }
    FileDescriptor target(OpenExisting(requested, path, false, existing));
    if ((existing.st_mode & 07000) != 0 && ::fchmod(target.get(), existing.st_mode & 0777) != 0 &&
        errno != EPERM)
        throw errors::FileError(errno, requested);
    const auto fail = [&](int err) {
        const bool restored = ::lseek(target.get(), 0, SEEK_SET) == 0 && ::ftruncate(target.get(), 0) == 0 &&
                              WriteAllRaw(target.get(), old.data(), old.size());
        TablorError error = errors::FileError(err, requested);
        if (restored || backup.empty()) {
            if (!backup.empty()) ::unlink(backup.c_str());
            return error;
        }
        return TablorError(error.Number(), error.Description() + "; the old content is kept in " + backup);
    };
    if (::ftruncate(target.get(), 0) != 0) throw fail(errno);
    WriteAll(target.get(), content, fail);
    if (::fsync(target.get()) != 0) throw fail(errno);
    pending.Publish(kRemoveTemporary, backup);
    // After fsync the new content is whole: a failed close is reported, nothing written back.
    if (::close(target.release()) != 0) throw errors::FileError(errno, requested);
    if (!backup.empty()) ::unlink(backup.c_str());
}

void EndOnInterrupt(int) {
    RemovePendingTemporaryFile();
    static const char message[] = "tablor: interrupted\n";
    (void)!::write(STDERR_FILENO, message, sizeof message - 1);
    ::_exit(2);
}

}  // namespace

void RemovePendingTemporaryFile() noexcept {
    const int kind = pendingKind.exchange(kNothing);
    if (kind == kRemoveTemporary) {
        ::unlink(pendingTemporary);
    } else if (kind == kRestoreTarget) {
        const int fd = ::open(pendingTarget, O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
        bool restored = false;
        if (fd >= 0) {
            restored = ::ftruncate(fd, 0) == 0 && WriteAllRaw(fd, pendingOldData, pendingOldSize) &&
                       ::fsync(fd) == 0;
            restored = ::close(fd) == 0 && restored;
        }
        // The backup stays when the old content could not be written back.
        if (restored && pendingTemporary[0] != '\0') ::unlink(pendingTemporary);
    }
}

void InstallInterruptCleanup() {
    struct sigaction action {};
    action.sa_handler = EndOnInterrupt;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

bool MakeFolders(const std::string& requested) {
    std::string path = requested;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (path.empty()) throw errors::FileError(ENOENT, requested, errors::FileAction::Create);
    // A folder that appears meanwhile (another start of the program) is looked at afresh, so
    // that a link planted in its place is judged like any other.
    for (int attempt = 0;; ++attempt) {
        const ResolvedTarget above = ResolveTarget(FolderOf(path));
        bool appeared = false;
        for (std::size_t end = above.found; end < above.path.size() && !appeared;) {
            end = std::min(above.path.find('/', end + 1), above.path.size());
            if (::mkdir(above.path.substr(0, end).c_str(), 0777) == 0) continue;
            if (errno != EEXIST || attempt == 3)
                throw errors::FileError(errno, requested, errors::FileAction::Create);
            appeared = true;
        }
        if (appeared) continue;
        const std::string folder = (above.path == "/" ? "" : above.path) + "/" + NameOf(path);
        // mkdir follows no link in the last place: whatever is there already is left as it is.
        if (::mkdir(folder.c_str(), 0777) == 0) return true;
        if (errno == EEXIST) return false;
        throw errors::FileError(errno, requested, errors::FileAction::Create);
    }
}

void WriteFileAtomically(const std::string& requestedPath, std::string_view content) {
    if (requestedPath.empty()) throw errors::FileError(ENOENT, requestedPath);
    const ResolvedTarget target = ResolveTarget(requestedPath);

    struct stat existing {};
    const bool exists = (target.stream ? ::stat(target.path.c_str(), &existing)
                                       : ::lstat(target.path.c_str(), &existing)) == 0;
    WriteTarget facts;
    facts.exists = exists;
    facts.stream = target.stream;
    if (exists) {
        facts.mode = existing.st_mode;
        facts.links = existing.st_nlink;
        facts.owner = existing.st_uid;
        facts.folderWritable = ::faccessat(AT_FDCWD, FolderOf(target.path).c_str(), W_OK, AT_EACCESS) == 0;
    }
    switch (ChooseWriteStrategy(facts, ::geteuid())) {
        case WriteStrategy::Replace:
            ReplaceByRename(requestedPath, target.path, exists ? &existing : nullptr, content);
            return;
        case WriteStrategy::InPlaceWithBackup:
            WriteInPlace(requestedPath, target.path, existing, true, content);
            return;
        case WriteStrategy::InPlaceFromMemory:
            WriteInPlace(requestedPath, target.path, existing, false, content);
            return;
        case WriteStrategy::Device:
            WriteStream(requestedPath, target, existing, content);
            return;
        case WriteStrategy::Refuse:
            if (S_ISDIR(existing.st_mode)) throw errors::FileError(EISDIR, requestedPath);
            if (S_ISFIFO(existing.st_mode)) throw NotAFile(requestedPath, "a named pipe");
            if (S_ISSOCK(existing.st_mode)) throw NotAFile(requestedPath, "a socket");
            throw NotAFile(requestedPath, "neither a file nor a device");
    }
}

}  // namespace tablor
