#include "cli/BatchPrompt.hpp"

namespace tablor::cli {

PromptAnswer BatchPrompt::Ask(const PromptMessage& message) {
    if (failure_.empty()) failure_ = message.title.empty() ? message.text : message.title + ": " + message.text;
    switch (message.buttons) {
        case PromptButtons::AbortRetryIgnore:
            return PromptAnswer::Abort;
        case PromptButtons::YesNo:
            return PromptAnswer::No;
        default:
            return PromptAnswer::Ok;
    }
}

}  // namespace tablor::cli
