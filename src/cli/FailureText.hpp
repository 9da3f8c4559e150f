#pragma once
#include <string>
#include <vector>

namespace tablor::cli {

// What a command is doing with files when a failure comes, so that the failure can be told in
// words: the files it reads or writes at that moment.
struct FileTask {
    struct File {
        std::string path;   // as handed to the system
        std::string shown;  // as a message names it
        std::string doing;  // "read the snapshot", "write the report", ...
    };
    std::vector<File> files;
    // The snapshot line the failure is on; -1 when unknown.
    long line = -1;
    bool readsSnapshot = false;
};

// A numbered failure (a TablorError's number and description) told for people: what could not
// be done with which file, why in words (for a snapshot, at which line and what was expected
// there), and, on a line of its own, the numbered text that the window shows. A failure with
// no number, or outside any file task, is its description.
std::string FailureText(long number, const std::string& description, const FileTask& task);

// The first line of FailureText alone.
std::string FailureWords(long number, const std::string& description, const FileTask& task);

}  // namespace tablor::cli
