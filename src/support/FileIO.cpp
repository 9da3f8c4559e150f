#include "support/FileIO.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "support/TablorError.hpp"

namespace tablor {
namespace {

// Closes a descriptor on every path out of a function.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

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

mode_t NewFileMode(const std::string& path) {
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) return existing.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::string ReadFileBytes(const std::string& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) throw errors::FileError(errno, path);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) throw errors::FileError(errno, path);
    if (S_ISDIR(info.st_mode)) throw errors::FileError(EISDIR, path);

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
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

namespace {

void WriteAll(int fd, std::string_view content, const std::function<TablorError(int)>& fail) {
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t put = ::write(fd, data, left);
        if (put < 0) {
            if (errno == EINTR) continue;
            throw fail(errno);
        }
        data += put;
        left -= static_cast<std::size_t>(put);
    }
}

// Devices and pipes cannot be replaced by a rename: they are written in place.
void WriteInPlace(const std::string& path, std::string_view content) {
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (fd.get() < 0) throw errors::FileError(errno, path);
    WriteAll(fd.get(), content, [&](int err) { return errors::FileError(err, path); });
    if (::close(fd.release()) != 0) throw errors::FileError(errno, path);
}

}  // namespace

void WriteFileAtomically(const std::string& requestedPath, std::string_view content) {
    if (requestedPath.empty()) throw errors::FileError(ENOENT, requestedPath);
    // Write through a symbolic link to the file it names, instead of replacing the link.
    std::string path = requestedPath;
    if (char* resolved = ::realpath(requestedPath.c_str(), nullptr)) {
        path = resolved;
        std::free(resolved);
    }
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        if (S_ISDIR(existing.st_mode)) throw errors::FileError(EISDIR, requestedPath);
        WriteInPlace(path, content);
        return;
    }
    const mode_t mode = NewFileMode(path);
    std::string temp = FolderOf(path) + "/." + NameOf(path) + ".XXXXXX";
    FileDescriptor fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0) throw errors::FileError(errno, requestedPath);

    const auto fail = [&](int err) {
        ::unlink(temp.c_str());
        return errors::FileError(err, requestedPath);
    };
    WriteAll(fd.get(), content, fail);
    if (::fchmod(fd.get(), mode) != 0) throw fail(errno);
    if (::fsync(fd.get()) != 0) throw fail(errno);
    if (::close(fd.release()) != 0) throw fail(errno);
    if (::rename(temp.c_str(), path.c_str()) != 0) throw fail(errno);
}

}  // namespace tablor
