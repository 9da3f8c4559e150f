#pragma once
#include <string>
#include <string_view>

namespace tablor {

// Escapes &, <, > and " so that text shows as text inside HTML or XML.
void AppendEscapedMarkup(std::string& out, std::string_view text);
std::string EscapeMarkup(std::string_view text);

}  // namespace tablor
