#pragma once
#include <string>
#include <string_view>

namespace tablor {

// Simple case folding for UTF-8 text: ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic
// capitals become small letters; everything else is kept. Collection keys ignore letter
// case through this, the way the databases' default collations treat column names.
std::string FoldCase(std::string_view text);
// Appends the folded text to `out`, without a text of its own in between.
void AppendFolded(std::string& out, std::string_view text);

// True when both texts fold to the same text.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// ASCII-only upper case, for tests on fixed keywords ("SYS", "CHAR").
std::string AsciiUpper(std::string_view text);

}  // namespace tablor
