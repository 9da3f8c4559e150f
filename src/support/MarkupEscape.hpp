#pragma once
#include <string>
#include <string_view>

namespace tablor {

// Escapes &, <, >, " and ' so that text shows as text inside HTML or XML, in any attribute too.
void AppendEscapedMarkup(std::string& out, std::string_view text);
std::string EscapeMarkup(std::string_view text);

}  // namespace tablor
