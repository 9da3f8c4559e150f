#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "support/FileIO.hpp"

namespace tablor {

// The lines of a snapshot, from text already decoded in memory, or from a file read a block at
// a time, so that a large file is never held whole beside the schema built from it. A line
// ends at CR LF, a lone CR or a lone LF (files kept in git may have lost their CRs); a line
// read stays valid until the next call.
class SnapshotLines {
  public:
    // No text at all: every read fails with "Bad file name or number".
    SnapshotLines() = default;
    explicit SnapshotLines(std::string text) : text_(std::move(text)), open_(true) {}
    // Opens a file; failures are numbered TablorErrors, as ReadFileBytes gives them. A regular
    // file is read twice, a block at a time: once to learn whether it is UTF-8 (else it was
    // written on Windows, in Windows-1252), then for its lines. Anything else, such as a pipe,
    // can be read only once and is read whole.
    static SnapshotLines OfFile(const std::string& path, std::size_t block = kBlock);

    bool AtEnd();
    std::string_view ReadLine();
    // How many lines come before the next one that starts with `mark`, among those read ahead
    // already: a hint, which a file's block end may cut short.
    std::size_t LinesBefore(char mark) const;

    static constexpr std::size_t kBlock = std::size_t{1} << 20;

  private:
    // Reads the next block behind what is left unread; false at the file's end.
    bool ReadBlock();

    std::string text_;
    std::size_t offset_ = 0;
    bool open_ = false;
    FileDescriptor file_;  // while a file has more to read
    std::string path_;
    std::size_t block_ = kBlock;
    bool windows1252_ = false;
};

}  // namespace tablor
