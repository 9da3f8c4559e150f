#pragma once
#include <iosfwd>
#include <string>
#include <string_view>

#include "compare/coDifferences.hpp"

namespace tablor::cli {

// Writes "**N differences**: 3 tables, 5 columns, ..." (only the kinds present; "No differences."
// when there are none), then a GitHub-flavoured Markdown table of the rows in the order of the
// text output, fit for a pull-request comment. A comparison made with options ends with a line
// that names them (`optionsLine`).
void WriteDifferencesMarkdown(std::ostream& out, const coDifferences& differences,
                              std::string_view optionsLine = {});

// A table cell that shows `text` as it is (VisibleText) and can start no link, markup or new cell:
// ASCII punctuation is backslash-escaped, <, > and & are HTML entities, and every @ is followed by
// an empty comment, so that no e-mail address or mention forms.
std::string MarkdownCell(std::string_view text);

}  // namespace tablor::cli
