#pragma once
#include <string>

#include "model/cMetaData.hpp"

namespace tablor {

// The three values of a snapshot's first line: where its structure was read from.
struct SnapshotHeader {
    std::string ServerName;
    std::string DatabaseName;
    std::string UserName;
};

// Builds the text of a snapshot file. A name the format cannot hold ("*" where it separates
// values, a line break, a column name starting with ":") would corrupt the file when read
// back, so it is refused with a TablorError that names the object.
std::string FormatSnapshot(const SnapshotHeader& header, const cMetaData& model);

// Formats and writes a snapshot. The file is replaced whole or not at all; a failure is a
// TablorError that says what went wrong.
void WriteSnapshot(const std::string& fileName, const SnapshotHeader& header, const cMetaData& model);

}  // namespace tablor
