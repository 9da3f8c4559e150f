#pragma once
#include <array>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "support/UserPrompt.hpp"

namespace tablor {

// Called while a side is read: what is being read and how many rows so far. While two sides
// are read at once, `section` tells both, rows included, and `rowsRead` is kAllInSection.
using ProgressCallback = std::function<void(std::string_view section, long rowsRead)>;
inline constexpr long kAllInSection = -1;

// What two reads running at once share: the caller's prompt, asked one question at a time,
// and one progress line that tells both sides.
class TwoSideProgress : public UserPrompt {
  public:
    TwoSideProgress(UserPrompt& prompt, ProgressCallback show, std::array<std::string, 2> sideNames)
        : prompt_(prompt), show_(std::move(show)), names_(std::move(sideNames)) {}

    // After a read failed, the other read's questions are answered as a script would answer
    // them: the first failure is the one that counts.
    void StopAsking();

    PromptAnswer Ask(const PromptMessage& message) override;
    std::optional<std::string> Input(std::string_view prompt, std::string_view title,
                                     std::string_view proposed) override;
    using UserPrompt::Progress;
    // Side 0 or 1 has read `rowsRead` rows of `section`.
    void Progress(std::size_t side, std::string_view section, long rowsRead);

  private:
    // "NAME1: SECTION1, N1 rows; NAME2: SECTION2, N2 rows", as far as each has come.
    std::string Line() const;

    struct SideState {
        std::string section;
        long rows = 0;
    };
    UserPrompt& prompt_;
    ProgressCallback show_;
    std::array<std::string, 2> names_;
    std::mutex askTurn_;
    bool stopped_ = false;
    std::mutex stateMutex_;
    std::array<SideState, 2> sides_;
    std::chrono::steady_clock::time_point lastShown_;
};

}  // namespace tablor
