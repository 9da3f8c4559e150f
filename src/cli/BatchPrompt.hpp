#pragma once
#include <string>

#include "support/UserPrompt.hpp"

namespace tablor::cli {

// Answers for a script: nothing is asked interactively. A failed step ends the command
// (Abort) and its message is kept, so the caller can print it and exit with trouble.
class BatchPrompt : public UserPrompt {
public:
    PromptAnswer Ask(const PromptMessage& message) override;
    std::optional<std::string> Input(std::string_view, std::string_view, std::string_view) override {
        return std::nullopt;
    }

    bool Failed() const noexcept { return !failure_.empty(); }
    const std::string& Failure() const noexcept { return failure_; }

private:
    std::string failure_;
};

}  // namespace tablor::cli
