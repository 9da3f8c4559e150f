#include "cli/BatchPrompt.hpp"

#include <stdexcept>

#include "service/TwoSideProgress.hpp"
#include "support/TerminalText.hpp"

namespace tablor::cli {

PromptAnswer BatchPrompt::Ask(const PromptMessage& message) {
    EndProgress();
    // A failed step's text opens with its description and number (FailurePrompt).
    const std::string first = message.text.substr(0, message.text.find('\n'));
    const auto blank = first.rfind(' ');
    if (message.buttons == PromptButtons::AbortRetryIgnore && failedNumber_ == 0 &&
        blank != std::string::npos) {
        try {
            failedNumber_ = std::stol(first.substr(blank + 1));
            failedDescription_ = first.substr(0, blank);
            // "Reading FILE, line N." follows a snapshot's failed step.
            if (const auto line = message.text.rfind(", line "); line != std::string::npos)
                failedLine_ = std::stol(message.text.substr(line + 7));
        } catch (const std::logic_error&) {
            failedNumber_ = 0;
        }
    }
    return ScriptAnswer(message);
}

void BatchPrompt::Progress(std::string_view section, long rowsRead) {
    if (progress_ == nullptr) return;
    // A terminal redrawn for every row would slow the read down: a new section shows at once,
    // counts at most ten times a second.
    const auto now = std::chrono::steady_clock::now();
    if (section == section_ && now - lastShown_ < std::chrono::milliseconds(100)) return;
    section_ = std::string(section);
    lastShown_ = now;
    if (rowsRead == kAllInSection) {
        // Two sides read at once: the section tells both.
        *progress_ << "\rreading " << EscapeForTerminal(section) << "\x1b[K" << std::flush;
    } else {
        *progress_ << '\r' << EscapeForTerminal(label_) << ": reading " << EscapeForTerminal(section) << ", "
                   << rowsRead << (rowsRead == 1 ? " row" : " rows") << "\x1b[K" << std::flush;
    }
    shown_ = true;
}

void BatchPrompt::EndProgress() {
    if (!shown_) return;
    *progress_ << "\r\x1b[K" << std::flush;
    shown_ = false;
    section_.clear();
}

}  // namespace tablor::cli
