#include "cli/FailureText.hpp"

#include <sys/stat.h>

#include <optional>
#include <string_view>

#include "support/FileIO.hpp"
#include "support/TablorError.hpp"
#include "support/TextEncoding.hpp"

namespace tablor::cli {
namespace {

constexpr std::string_view kSnapshotStart =
    "a snapshot starts with four lines: SERVER*DATABASE*USER, then its constraints, its views and its "
    "routines";

// The file the description names; the first of the task's when it names none.
const FileTask::File& FileNamed(const std::string& description, const FileTask& task) {
    const auto open = description.find('(');
    const std::string_view detail =
        open == std::string::npos ? std::string_view() : std::string_view(description).substr(open + 1);
    for (const FileTask::File& file : task.files)
        if (!file.path.empty() && detail.starts_with(file.path)) return file;
    for (const FileTask::File& file : task.files)
        if (!file.path.empty() && description.find(file.path) != std::string::npos) return file;
    return task.files.front();
}

// The lines of a snapshot file, counted as the loader counts them; nothing for what cannot be
// read again (standard input).
std::optional<long> LineCount(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    try {
        const std::string text = DecodeFileText(ReadFileBytes(path));
        long lines = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '\r' && text[i] != '\n') continue;
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            ++lines;
        }
        if (!text.empty() && text.back() != '\r' && text.back() != '\n') ++lines;
        return lines;
    } catch (const TablorError&) {
        return std::nullopt;
    }
}

// Why the file failed, from the detail a file error carries: "(PATH: reason)" or "(PATH is ...)".
std::string ReasonIn(const std::string& description, const FileTask::File& file) {
    const auto open = description.find('(');
    const auto close = description.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return description;
    std::string detail = description.substr(open + 1, close - open - 1);
    if (detail.starts_with(file.path + ": ")) {
        detail.erase(0, file.path.size() + 2);
        if (detail == "Is a directory") return "it is a folder, not a file";
        if (detail.size() > 1 && detail[0] >= 'A' && detail[0] <= 'Z' && detail[1] >= 'a' && detail[1] <= 'z')
            detail[0] = static_cast<char>(detail[0] - 'A' + 'a');
    } else if (detail.starts_with(file.path + " ")) {
        detail.replace(0, file.path.size(), "it");
    }
    return detail;
}

// What is wrong inside a snapshot, at which line.
std::string SnapshotFault(long number, const std::string& description, const FileTask& task) {
    const FileTask::File& file = task.files.front();
    if (number == errors::InputPastEndOfFile) {
        const std::optional<long> lines = LineCount(file.path);
        if (!lines) return "it ends too early: " + std::string(kSnapshotStart);
        if (*lines == 0) return "it is empty, but " + std::string(kSnapshotStart);
        return "it ends after line " + std::to_string(*lines) + ", but " + std::string(kSnapshotStart);
    }
    const std::string line = task.line < 0 ? std::string() : "line " + std::to_string(task.line);
    if (number == errors::SubscriptOutOfRange) {
        // Only the first line and the columns have parts that can be missing.
        if (task.line == 1) return "line 1 should be SERVER*DATABASE*USER";
        if (task.line > 1) return line + " should be a column of the table above it: NAME*TYPE*SIZE";
        return "a line is not what a snapshot holds there (SERVER*DATABASE*USER first, then a column as "
               "NAME*TYPE*SIZE under each :TABLE line)";
    }
    return line.empty() ? description : line + ": " + description;
}

bool IsFileFailure(long number) {
    switch (number) {
        case errors::BadFileNameOrNumber:
        case errors::FileNotFound:
        case errors::DiskFull:
        case errors::PermissionDenied:
        case errors::PathFileAccessError:
        case errors::PathNotFound:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::string FailureWords(long number, const std::string& description, const FileTask& task) {
    if (number == 0 || task.files.empty()) return description;
    const FileTask::File& file = FileNamed(description, task);
    std::string why;
    if (number == errors::FileNotFound)
        why = "there is no such file";
    else if (number == errors::PathNotFound)
        why = "a folder on its path does not exist";
    else if (number == errors::DiskFull)
        why = "the disk is full";
    else if (IsFileFailure(number) || !task.readsSnapshot)
        why = ReasonIn(description, file);
    else
        why = SnapshotFault(number, description, task);
    return "cannot " + file.doing + " " + file.shown + ": " + why;
}

std::string FailureText(long number, const std::string& description, const FileTask& task) {
    if (number == 0) return description;
    std::string numbered = description + " " + std::to_string(number);
    if (task.files.empty()) return numbered;
    return FailureWords(number, description, task) + "\n  " + numbered;
}

}  // namespace tablor::cli
