#pragma once
#include <stdexcept>
#include <string>

namespace tablor {

// A failure that carries a number and a readable description, so that prompts can show
// "description number" the way users of the program know it.
class TablorError : public std::runtime_error {
  public:
    TablorError(long number, std::string description)
        : std::runtime_error(description), number_(number), description_(std::move(description)) {}

    long Number() const noexcept { return number_; }
    const std::string& Description() const noexcept { return description_; }
    // The prompt text: the description, one blank, the number.
    std::string PromptText() const { return description_ + " " + std::to_string(number_); }

  private:
    long number_;
    std::string description_;
};

// The user stopped the operation (Cancel, Esc, Ctrl-C): nothing it would have changed has
// changed, and there is nothing more to tell.
class OperationCancelled : public TablorError {
  public:
    OperationCancelled() : TablorError(18, "The operation was cancelled.") {}
};

// A failure the user has already been shown (and, for a file step, chose to end the command
// on). A window says nothing more; a script prints it.
class ReportedFailure : public TablorError {
  public:
    using TablorError::TablorError;
};

// The numbers that ordinary file and collection failures carry.
namespace errors {
inline constexpr long SubscriptOutOfRange = 9;
inline constexpr long BadFileNameOrNumber = 52;
inline constexpr long FileNotFound = 53;
inline constexpr long InputPastEndOfFile = 62;
inline constexpr long DiskFull = 61;
inline constexpr long PermissionDenied = 70;
inline constexpr long PathFileAccessError = 75;
inline constexpr long PathNotFound = 76;
inline constexpr long InvalidProcedureCall = 5;
inline constexpr long DuplicateKey = 457;
inline constexpr long InvalidName = 1001;  // a name the snapshot format cannot hold
inline constexpr long Cancelled = 18;
// Driver failures are shown by their description alone.
inline constexpr long DatabaseFailure = 0;

TablorError SubscriptError();
TablorError InvalidKeyError();
TablorError DuplicateKeyError();
// What the failed file operation did: a missing name is a missing file when opening, but a
// missing folder when creating a file in it.
enum class FileAction { Open, Create };
// Maps an errno value from a failed file operation to a numbered error naming the path.
TablorError FileError(int errnoValue, const std::string& path, FileAction action = FileAction::Open);
}  // namespace errors

}  // namespace tablor
