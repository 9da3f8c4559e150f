#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "compare/coDifferences.hpp"
#include "report/DifferenceRow.hpp"

namespace tablor::cli {

// "N difference(s) found between the two objects!"
std::string CountLine(long count);

// The rows in aligned columns under their headers, then the count line. Cells are escaped for
// the terminal (EscapeForTerminal).
std::string FormatDifferencesText(const std::vector<DifferenceRow>& rows);

// {"object1": …, "object2": …, "count": N, "differences": [ … ]} with each record's members
// under their own names, in the engine's order.
std::string FormatDifferencesJson(const std::string& object1, const std::string& object2,
                                  const coDifferences& differences);

// A JSON string that is valid UTF-8 whatever the bytes: controls (C0, DEL, C1) are \u escapes,
// and bytes that are not UTF-8 are \u escapes of their Windows-1252 reading.
std::string JsonString(std::string_view text);

}  // namespace tablor::cli
