#pragma once
#include <chrono>
#include <ostream>
#include <string>

#include "support/UserPrompt.hpp"

namespace tablor::cli {

// Answers for a script: nothing is asked interactively. A failed step ends the command
// (Abort); the failure reaches the caller as an exception, which it prints.
// Given a terminal stream, it shows the progress of long reads there on one line.
class BatchPrompt : public UserPrompt {
  public:
    BatchPrompt() = default;
    // `progress` (a terminal) shows "label: reading section, N rows"; null shows nothing.
    BatchPrompt(std::ostream* progress, std::string label) : progress_(progress), label_(std::move(label)) {}
    ~BatchPrompt() override { EndProgress(); }
    BatchPrompt(const BatchPrompt&) = delete;
    BatchPrompt& operator=(const BatchPrompt&) = delete;

    PromptAnswer Ask(const PromptMessage& message) override;
    std::optional<std::string> Input(std::string_view, std::string_view, std::string_view) override {
        return std::nullopt;
    }
    void Progress(std::string_view section, long rowsRead) override;
    // Clears the progress line, so that what follows starts on a clean line.
    void EndProgress();
    // The first failed step it answered Abort to, as its number and description; number 0
    // when none.
    long FailedNumber() const noexcept { return failedNumber_; }
    const std::string& FailedDescription() const noexcept { return failedDescription_; }
    // The snapshot line that step failed on, where its message names one; -1 when none.
    long FailedLine() const noexcept { return failedLine_; }

  private:
    std::ostream* progress_ = nullptr;
    std::string label_;
    std::string section_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point lastShown_;
    long failedNumber_ = 0;
    std::string failedDescription_;
    long failedLine_ = -1;
};

}  // namespace tablor::cli
