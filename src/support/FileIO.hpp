#pragma once
#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace tablor {

// Closes a descriptor on every path out of a function, or when its owner goes.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) noexcept : fd_(fd) {}
    ~FileDescriptor() { Reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = other.release();
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const noexcept { return fd_; }
    int release() noexcept {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Reset() noexcept {
        if (fd_ >= 0) ::close(release());
    }

  private:
    int fd_;
};

// Far above any real schema or template, low enough that an endless input (/dev/zero) ends.
inline constexpr std::size_t kMaxReadBytes = std::size_t{1} << 30;

// Reads a whole file; a failure is a numbered TablorError (53 for a missing file). A file larger
// than `limit` is refused before more than `limit` bytes are held.
std::string ReadFileBytes(const std::string& path, std::size_t limit = kMaxReadBytes);

// Writes `content` so that a failure leaves the target's old content whole or recoverable.
// A file the user owns, with one name, in a folder the user may write to, is replaced by a
// temporary file renamed over it; other files are written in place (see ChooseWriteStrategy).
// Symbolic links are followed unless they sit in a shared sticky folder and belong to someone
// else; named pipes, sockets and folders are refused. A failure is a numbered TablorError.
void WriteFileAtomically(const std::string& path, std::string_view content);

// Makes the folder `path` and any folder missing above it, following symbolic links only as
// WriteFileAtomically does (a refused link is error 70). True when this call made the folder
// itself; false when something, even a dangling link, already had its name, which is left as it
// is. Other failures are numbered TablorErrors.
bool MakeFolders(const std::string& path);

// True when both paths name the same file (through links or other paths too).
bool SameFile(const std::string& a, const std::string& b);

enum class WriteStrategy {
    Replace,            // temporary file, fsync, rename over the target
    InPlaceWithBackup,  // old content copied beside the target first, written back on failure
    InPlaceFromMemory,  // folder not writable: old content held in memory, written back on failure
    Device,             // character device or a pipe given as /dev/stdout: written as a stream
    Refuse,             // folder, named pipe or socket
};

// What is known of a write target before writing; `exists` false for a new file.
struct WriteTarget {
    bool exists = false;
    mode_t mode = 0;
    nlink_t links = 0;
    uid_t owner = 0;
    bool folderWritable = false;
    bool stream = false;  // reached through a descriptor link such as /dev/stdout
};

WriteStrategy ChooseWriteStrategy(const WriteTarget& target, uid_t user);

// Removes the temporary file of a write under way, or writes back the old content of a file
// being written in place. Async-signal-safe: meant for signal handlers that then end the process.
void RemovePendingTemporaryFile() noexcept;

// SIGINT, SIGTERM and SIGHUP clean up through RemovePendingTemporaryFile and end the process
// with status 2.
void InstallInterruptCleanup();

}  // namespace tablor
