#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace tablor::cli {

// Exit statuses, as diff uses them: scripts test for differences without parsing output.
inline constexpr int kNoDifferences = 0;
inline constexpr int kDifferences = 1;
inline constexpr int kTrouble = 2;

// Runs one command line (without the program name) and returns the exit status.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

std::string UsageText();

}  // namespace tablor::cli
