#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace tablor {

enum class PromptIcon { None, Information, Warning, Question, Critical };
enum class PromptButtons { Ok, YesNo, AbortRetryIgnore };
enum class PromptAnswer { Ok, Yes, No, Abort, Retry, Ignore };

// One message box: texts, icon and buttons travel unchanged to whoever shows it.
// An empty title means the application's own title.
struct PromptMessage {
    std::string text;
    std::string title;
    PromptIcon icon = PromptIcon::None;
    PromptButtons buttons = PromptButtons::Ok;
    PromptAnswer defaultAnswer = PromptAnswer::Ok;
};

// The core never talks to the user itself: it asks through this interface, which the caller
// hands in (dialogs in the window, the console on the command line, a script in tests).
class UserPrompt {
  public:
    virtual ~UserPrompt() = default;

    // Shows a message and returns the button the user chose.
    virtual PromptAnswer Ask(const PromptMessage& message) = 0;

    // Asks for a line of text; nothing when the user cancels.
    virtual std::optional<std::string> Input(std::string_view prompt, std::string_view title,
                                             std::string_view proposed) = 0;

    // Called while long reads run (after every row or line), so that a window can stay alive
    // and a terminal can show progress. `section` names what is being read.
    virtual void Progress(std::string_view section, long rowsRead) {
        (void)section;
        (void)rowsRead;
    }
};

// The Abort/Retry/Ignore prompt for a failed step of a file command.
PromptMessage FailurePrompt(std::string_view description, long number);

// What a script answers when nobody can be asked: Abort, No or OK, so that a failed step ends
// the command.
PromptAnswer ScriptAnswer(const PromptMessage& message);

}  // namespace tablor
