#pragma once
#include <string>
#include <string_view>

namespace tablor::cli {

// The program's help: every command, the live addresses, the exit status.
std::string UsageText();

// One command's help (compare, snapshot, show); empty for a name that is none of them.
std::string CommandHelp(std::string_view command);

}  // namespace tablor::cli
