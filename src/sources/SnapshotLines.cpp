#include "sources/SnapshotLines.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <utility>

#include "support/FileIO.hpp"
#include "support/TablorError.hpp"
#include "support/TextEncoding.hpp"

namespace tablor {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Appends up to `size` bytes read from `fd`; the count read, 0 at the end.
std::size_t ReadSome(int fd, const std::string& path, std::string& out, std::size_t size) {
    const std::size_t start = out.size();
    out.resize(start + size);
    for (;;) {
        const ssize_t got = ::read(fd, out.data() + start, size);
        if (got >= 0) {
            out.resize(start + static_cast<std::size_t>(got));
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            const int err = errno;
            out.resize(start);
            throw errors::FileError(err, path);
        }
    }
}

// Whole lines are checked at once: a line break never splits a UTF-8 sequence. Only what was
// just read is searched for one, so that a long line costs no more than its length.
bool FileIsUtf8(int fd, const std::string& path, std::size_t block) {
    std::string pending;
    for (;;) {
        const std::size_t before = pending.size();
        const bool more = ReadSome(fd, path, pending, block) > 0;
        std::size_t length = pending.size();
        if (more) {
            const std::size_t cut = std::string_view(pending).substr(before).rfind('\n');
            if (cut == std::string_view::npos) continue;
            length = before + cut + 1;
        }
        if (!IsValidUtf8(std::string_view(pending).substr(0, length))) return false;
        pending.erase(0, length);
        if (!more) return true;
    }
}

// Whether the file opens with the UTF-8 byte-order mark, which is dropped whatever the encoding.
bool OpensWithByteOrderMark(int fd) {
    char head[3] = {};
    return ::pread(fd, head, sizeof head, 0) == 3 && std::string_view(head, 3) == kByteOrderMark;
}

}  // namespace

SnapshotLines SnapshotLines::OfFile(const std::string& path, std::size_t block) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) throw errors::FileError(errno, path);
    const int fd = file.get();
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (!regular || static_cast<std::uintmax_t>(info.st_size) > kMaxReadBytes) {
        file.Reset();
        return SnapshotLines(DecodeFileText(ReadFileBytes(path)));
    }
    SnapshotLines lines;
    lines.open_ = true;
    lines.file_ = std::move(file);
    lines.path_ = path;
    lines.block_ = block;
    const off_t start = OpensWithByteOrderMark(fd) ? 3 : 0;
    if (::lseek(fd, start, SEEK_SET) != start) throw errors::FileError(errno, path);
    lines.windows1252_ = !FileIsUtf8(fd, path, block);
    if (::lseek(fd, start, SEEK_SET) != start) throw errors::FileError(errno, path);
    return lines;
}

bool SnapshotLines::ReadBlock() {
    if (file_.get() < 0) return false;
    std::string raw;
    if (ReadSome(file_.get(), path_, raw, block_) == 0) {
        file_.Reset();
        return false;
    }
    text_.erase(0, offset_);
    offset_ = 0;
    text_ += windows1252_ ? Windows1252ToUtf8(raw) : raw;
    return true;
}

bool SnapshotLines::AtEnd() {
    while (offset_ >= text_.size())
        if (!ReadBlock()) return true;
    return false;
}

std::string_view SnapshotLines::ReadLine() {
    if (!open_) throw TablorError(errors::BadFileNameOrNumber, "Bad file name or number");
    if (AtEnd()) throw TablorError(errors::InputPastEndOfFile, "Input past end of file");
    std::size_t end = 0;
    for (std::size_t from = offset_;;) {
        end = text_.find_first_of("\r\n", from);
        // A CR at the end of what was read may be the first half of a CR LF.
        const bool whole = end != std::string::npos && (text_[end] == '\n' || end + 1 < text_.size());
        // The search goes on where it stopped, so that a long line costs no more than its length.
        const std::size_t seen = (end == std::string::npos ? text_.size() : end) - offset_;
        if (whole || !ReadBlock()) break;
        from = offset_ + seen;
    }
    const std::string_view rest = std::string_view(text_).substr(offset_);
    if (end == std::string::npos) {
        offset_ = text_.size();
        return rest;
    }
    const std::size_t length = end - offset_;
    offset_ = end + ((text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n') ? 2 : 1);
    return rest.substr(0, length);
}

std::size_t SnapshotLines::LinesBefore(char mark) const {
    const std::string_view rest = std::string_view(text_).substr(std::min(offset_, text_.size()));
    std::size_t count = 0;
    for (std::size_t start = 0; start < rest.size() && rest[start] != mark; ++count) {
        const std::size_t end = rest.find('\n', start);
        if (end == std::string_view::npos) return count + 1;
        start = end + 1;
    }
    return count;
}

}  // namespace tablor
