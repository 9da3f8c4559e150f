#pragma once
#include <array>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

#include "compare/coDifferences.hpp"
#include "model/ObjectType.hpp"
#include "report/DifferenceRow.hpp"

namespace tablor::cli {

// "N difference(s) found between the two objects!"
std::string CountLine(long count);

// Columns are padded to at most this many characters, so that one huge name cannot pad every
// row; it covers the longest names SQL Server and PostgreSQL allow.
inline constexpr std::size_t kMaxPaddedWidth = 128;

// Writes the rows in aligned columns under their headers, then the count line, each row as it is
// made (rowAt is asked for each row twice). A cell wider than kMaxPaddedWidth is written whole
// and the next column follows after the usual gap. Cells are escaped for the terminal
// (EscapeForTerminal).
// A comparison made with options ends with a line that names them (`optionsLine`).
// With `color`, the kind column and the count line carry a terminal's colours; without, not a byte
// of them.
void WriteDifferencesText(std::ostream& out, std::size_t rowCount,
                          const std::function<DifferenceRow(std::size_t)>& rowAt,
                          std::string_view optionsLine = {}, bool color = false);

// Writes {"object1": …, "object2": …, "count": N, "differences": [ … ]} with each record's
// members under their own names, in the engine's order, each record as it is made. A changed
// column's record also has "FieldType2" and "FieldSize2". A comparison made with options has
// "options" (their description) after "count".
void WriteDifferencesJson(std::ostream& out, const std::string& object1, const std::string& object2,
                          const coDifferences& differences, std::string_view options = {});
// The same document as one string.
std::string FormatDifferencesJson(const std::string& object1, const std::string& object2,
                                  const coDifferences& differences, std::string_view options = {});

// A JSON string that is valid UTF-8 whatever the bytes: controls (C0, DEL, C1) are \u escapes,
// and bytes that are not UTF-8 are \u escapes of their Windows-1252 reading.
std::string JsonString(std::string_view text);

// Text for a Markdown cell or an XML document, valid UTF-8 whatever the bytes: bytes that are not
// UTF-8 are read as Windows-1252 (as JsonString reads them), and controls (C0, DEL, C1) and
// U+FFFE / U+FFFF, which XML cannot hold, show as \n, \r, \t or \uXXXX.
std::string VisibleText(std::string_view text);

// How many differences there are of each kind code, from ObjectType::Table to the last changed
// kind (ObjectType::Changed(ObjectType::Type)); codes between the kinds and their changes count none.
using KindCounts = std::array<long, ObjectType::Changed(ObjectType::Type) + 1>;
KindCounts CountByKind(const coDifferences& differences);

}  // namespace tablor::cli
