#include "cli/BatchPrompt.hpp"

#include "service/TwoSideProgress.hpp"
#include "support/TerminalText.hpp"

namespace tablor::cli {

PromptAnswer BatchPrompt::Ask(const PromptMessage& message) {
    EndProgress();
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
