#pragma once
#include <string>
#include <string_view>

namespace tablor {

// Whether a line feed in the text is the output's own (a multi-line message) or data.
enum class LineBreaks { Escape, Keep };

// Text bound for a terminal or a log. Names and server messages are data: a control character
// in them could move the cursor, retitle the window or write the clipboard, so C0, DEL and C1
// (U+0080..U+009F, and the bytes 0x80..0x9F of text that is not UTF-8, which 8-bit terminals
// obey) are written as \n, \r, \t or \xHH, one per byte. Everything else, printable Unicode
// included, passes byte for byte.
void AppendForTerminal(std::string& out, std::string_view text, LineBreaks lineBreaks = LineBreaks::Escape);
std::string EscapeForTerminal(std::string_view text, LineBreaks lineBreaks = LineBreaks::Escape);

}  // namespace tablor
