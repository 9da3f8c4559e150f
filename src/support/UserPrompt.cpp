#include "support/UserPrompt.hpp"

namespace tablor {

PromptMessage FailurePrompt(std::string_view description, long number) {
    PromptMessage message;
    message.text = std::string(description) + " " + std::to_string(number);
    message.icon = PromptIcon::Warning;
    message.buttons = PromptButtons::AbortRetryIgnore;
    message.defaultAnswer = PromptAnswer::Abort;
    return message;
}

PromptAnswer ScriptAnswer(const PromptMessage& message) {
    switch (message.buttons) {
        case PromptButtons::AbortRetryIgnore:
            return PromptAnswer::Abort;
        case PromptButtons::YesNo:
            return PromptAnswer::No;
        default:
            return PromptAnswer::Ok;
    }
}

}  // namespace tablor
