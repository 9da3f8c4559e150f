#pragma once
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/UserPrompt.hpp"

namespace tablor::testing {

// Answers prompts from a script and records every message, so tests can check texts, titles,
// icons and buttons. An unscripted question gets the first button's answer (Ok, Yes or
// Abort); an unscripted input box is cancelled.
class ScriptedPrompt : public UserPrompt {
  public:
    ScriptedPrompt& Answer(PromptAnswer answer) {
        answers_.push_back(answer);
        return *this;
    }
    ScriptedPrompt& Type(std::optional<std::string> text) {
        inputs_.push_back(std::move(text));
        return *this;
    }

    PromptAnswer Ask(const PromptMessage& message) override;
    std::optional<std::string> Input(std::string_view prompt, std::string_view title,
                                     std::string_view proposed) override;
    void Progress(std::string_view section, long rowsRead) override;

    struct InputRequest {
        std::string prompt, title, proposed;
    };
    std::vector<PromptMessage> messages;
    std::vector<InputRequest> inputRequests;
    long progressCalls = 0;
    std::string lastSection;
    // Called as each message is asked and each progress report arrives (to see from where).
    std::function<void()> onAsk;
    std::function<void()> onProgress;

    // The texts of all messages shown, in order.
    std::vector<std::string> Texts() const;

  private:
    std::deque<PromptAnswer> answers_;
    std::deque<std::optional<std::string>> inputs_;
};

}  // namespace tablor::testing
