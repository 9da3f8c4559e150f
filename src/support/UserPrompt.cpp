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

}  // namespace tablor
