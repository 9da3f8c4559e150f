#pragma once
#include <optional>
#include <string>

namespace tablor::cli {

// Asks for a password on the terminal without echoing it: the prompt goes to standard error,
// the answer comes from standard input. Nothing when standard input is not a terminal.
std::optional<std::string> ReadPasswordFromTerminal(const std::string& prompt);

}  // namespace tablor::cli
