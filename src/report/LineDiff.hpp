#pragma once
#include <cstddef>
#include <string_view>
#include <vector>

namespace tablor {

// One line of two texts laid side by side: in both, only in the first, or only in the second.
struct DiffLine {
    enum class Side { Both, First, Second };
    Side side = Side::Both;
    std::string_view text;  // a view into the text it came from, without its line end
};

// The lines of both texts in order, each marked, so that the first text is its Both and First
// lines and the second its Both and Second lines, with as many Both lines as the texts can
// share. Lines end at LF, an LF after the last line adds none, a CR before it is no part of the
// line, and lines that differ only in trailing blanks count as the same (the comparison of
// definitions sets those aside too). Where the differing middle of two texts is too large to
// pair line by line (over a few million pairs) its lines are given as all removed, then all
// added. The texts must outlive the result.
std::vector<DiffLine> DiffLines(std::string_view first, std::string_view second);

// A value too long or of too many lines to read in a message: shown as its lines.
bool IsBodyText(std::string_view value);

}  // namespace tablor
