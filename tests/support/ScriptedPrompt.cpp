#include "ScriptedPrompt.hpp"

namespace tablor::testing {

PromptAnswer ScriptedPrompt::Ask(const PromptMessage& message) {
    if (onAsk) onAsk();
    messages.push_back(message);
    if (!answers_.empty()) {
        const PromptAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    switch (message.buttons) {
        case PromptButtons::YesNo:
            return PromptAnswer::Yes;
        case PromptButtons::AbortRetryIgnore:
            return PromptAnswer::Abort;
        default:
            return PromptAnswer::Ok;
    }
}

std::optional<std::string> ScriptedPrompt::Input(std::string_view prompt, std::string_view title,
                                                 std::string_view proposed) {
    inputRequests.push_back({std::string(prompt), std::string(title), std::string(proposed)});
    if (inputs_.empty()) return std::nullopt;
    auto text = std::move(inputs_.front());
    inputs_.pop_front();
    return text;
}

void ScriptedPrompt::Progress(std::string_view section, long) {
    ++progressCalls;
    lastSection = std::string(section);
    if (onProgress) onProgress();
}

std::vector<std::string> ScriptedPrompt::Texts() const {
    std::vector<std::string> texts;
    for (const auto& message : messages) texts.push_back(message.text);
    return texts;
}

}  // namespace tablor::testing
