#pragma once
#include <string>
#include <string_view>

namespace tablor {

// Reads a whole file; a failure is a numbered TablorError (53 for a missing file).
std::string ReadFileBytes(const std::string& path);

// Writes `content` to a temporary file in the target's folder and renames it over the target,
// so that an existing file is either kept whole or replaced whole, never half-written.
// A failure is a numbered TablorError and leaves the target as it was.
void WriteFileAtomically(const std::string& path, std::string_view content);

}  // namespace tablor
