#include "service/TwoSideProgress.hpp"

namespace tablor {

void TwoSideProgress::StopAsking() {
    std::lock_guard lock(askTurn_);
    stopped_ = true;
}

PromptAnswer TwoSideProgress::Ask(const PromptMessage& message) {
    std::lock_guard lock(askTurn_);
    return stopped_ ? ScriptAnswer(message) : prompt_.Ask(message);
}

std::optional<std::string> TwoSideProgress::Input(std::string_view prompt, std::string_view title,
                                                  std::string_view proposed) {
    std::lock_guard lock(askTurn_);
    if (stopped_) return std::nullopt;
    return prompt_.Input(prompt, title, proposed);
}

void TwoSideProgress::Progress(std::size_t side, std::string_view section, long rowsRead) {
    // Held while showing too: the caller's display is told one line at a time.
    std::lock_guard lock(stateMutex_);
    SideState& state = sides_[side];
    const bool newSection = state.section != section;
    if (newSection) state.section = std::string(section);
    state.rows = rowsRead;
    // Rows come by the thousand: a new section shows at once, counts ten times a second.
    const auto now = std::chrono::steady_clock::now();
    if (!newSection && now - lastShown_ < std::chrono::milliseconds(100)) return;
    lastShown_ = now;
    if (show_) show_(Line(), kAllInSection);
}

std::string TwoSideProgress::Line() const {
    std::string text;
    for (std::size_t side = 0; side < sides_.size(); ++side) {
        if (side > 0) text += "; ";
        text += names_[side] + ": ";
        const SideState& state = sides_[side];
        if (state.section.empty()) {
            text += "waiting";
            continue;
        }
        text += state.section + ", " + std::to_string(state.rows) + (state.rows == 1 ? " row" : " rows");
    }
    return text;
}

}  // namespace tablor
